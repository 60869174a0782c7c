#!/usr/bin/env bash
# Installs what is missing, builds Fetchora and starts it on its bundled catalogue.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j"$(nproc)" --target fetchora fetchora_data
exec build/src/fetchora "$@"
