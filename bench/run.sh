#!/usr/bin/env bash
# Builds what it needs, generates a large synthetic catalogue into a temporary
# folder, measures Fetchora against it and prints a table. The temporary folder
# (and any program the measurement left running) is removed on the way out.
#
#   bench/run.sh            7 runs of each timing
#   RUNS=11 bench/run.sh    more runs
#
# Exit status: 0 when every figure was measured (FAIL verdicts included),
# non-zero when something could not be measured or built.
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(dirname "$here")
build=${FETCHORA_BUILD_DIR:-$root/build}
runs=${RUNS:-7}

cmake --build "$build" -j2 --target bench_catalogue fetchora

bench="$build/bench/bench_catalogue"
fetchora="$build/src/fetchora"
for f in "$bench" "$fetchora"; do
    [[ -x $f ]] || { echo "run.sh: $f was not built" >&2; exit 2; }
done

work=$(mktemp -d "${TMPDIR:-/tmp}/fetchora-bench.XXXXXX")
cleanup() {
    # A program the bench started for the idle measurement, should the bench
    # have been stopped before ending it: only that id, and only if it still is
    # a Fetchora running on this run's folder.
    if [[ -f $work/idle.pid ]]; then
        pid=$(<"$work/idle.pid")
        if [[ $pid =~ ^[0-9]+$ ]] && tr '\0' ' ' <"/proc/$pid/cmdline" 2>/dev/null | grep -qF -- "$work/big"; then
            kill -TERM "$pid" 2>/dev/null || true
            sleep 1
            kill -KILL "$pid" 2>/dev/null || true
        fi
    fi
    rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

"$bench" --generate "$work"
status=0
QT_QPA_PLATFORM=offscreen "$bench" --work "$work" --fetchora "$fetchora" --runs "$runs" || status=$?
exit "$status"
