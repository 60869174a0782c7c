#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test.
# Extra arguments go to CMake, for example -DFETCHORA_SANITIZE=ON.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
build=${FETCHORA_BUILD_DIR:-build}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@"
cmake --build "$build" -j"$(nproc)"
export QT_QPA_PLATFORM=offscreen
ctest --test-dir "$build" --output-on-failure -j"$(nproc)"
