#!/usr/bin/env bash
# Prints the non-blank, non-comment line counts of the program (src/) and of
# its tests (tests/, support code included) and their ratio. The project keeps
# tests between a quarter and a third of the code.
set -euo pipefail
cd "$(dirname "$0")/.."
count() {
  git ls-files "$1/*.cpp" "$1/*.h" "$1/*.hpp" | xargs -r cat | grep -v '^\s*$' | grep -c -v '^\s*//' || true
}
src=$(count src)
tests=$(count tests)
awk -v s="$src" -v t="$tests" 'BEGIN {
  printf "src   %6d lines\ntests %6d lines\nratio %6.2f (tests / src; keep at or below 0.33)\n", s, t, (s ? t / s : 0)
}'
