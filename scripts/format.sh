#!/usr/bin/env bash
# Formats every C++ file of the project with clang-format and the project's
# .clang-format. With --check, changes nothing and fails when a file would change.
set -euo pipefail
cd "$(dirname "$0")/.."
command -v clang-format >/dev/null || { echo "clang-format is not installed (apt-get install clang-format)" >&2; exit 1; }
mapfile -t files < <(git ls-files '*.cpp' '*.h')
if [ "${1:-}" = "--check" ]; then
  bad=0
  for f in "${files[@]}"; do
    if ! clang-format "$f" | cmp -s "$f" -; then
      echo "would reformat: $f"
      bad=1
    fi
  done
  exit $bad
fi
clang-format -i "${files[@]}"
