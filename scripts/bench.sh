#!/usr/bin/env bash
# Builds the benchmarks (preset "bench", a release build) and runs them:
#  1. start-up: the program against a one-QLabel Qt window, alternately,
#     offscreen, RUNS times each (default 40): medians of the time from
#     process start to the first painted frame and of peak resident memory;
#  2. the instructions of one start-to-quit of each under callgrind, which
#     repeat exactly from run to run where times do not;
#  3. Google Benchmarks of the calculation core, of the design search and of
#     a menu selection in the real window;
#  4. the simulation: time to a result for every circuit (sim_bench).
# Usage: scripts/bench.sh [RUNS]
set -euo pipefail
cd "$(dirname "$0")/.."

runs=${1:-40}
if ! [[ $runs =~ ^[1-9][0-9]*$ ]]; then
    echo "usage: $0 [RUNS]" >&2
    exit 2
fi

scripts/deps.sh bench

cmake --preset bench >/dev/null
cmake --build --preset bench -j2

bin=$PWD/build-bench/bin
probe=$bin/firstpaint_probe.so
export QT_QPA_PLATFORM=offscreen
if [[ -z ${XDG_RUNTIME_DIR:-} ]]; then
    XDG_RUNTIME_DIR=$(mktemp -d)
    export XDG_RUNTIME_DIR
    trap 'rm -rf "$XDG_RUNTIME_DIR"' EXIT
fi

echo
echo "== start-up"
"$bin/startup_bench" "$probe" "$bin/startup_floor" "$bin/oscillator-calculator" "$runs"

echo
echo "== instructions, one start to first paint and quit (callgrind)"
count() {
    local out
    out=$(mktemp)
    OSC_FIRSTPAINT_FD=1 LD_PRELOAD=$probe \
        valgrind --tool=callgrind --callgrind-out-file="$out" "$1" >/dev/null 2>&1
    awk '/^(summary|totals):/ { print $2; exit }' "$out"
    rm -f "$out"
}
floor=$(count "$bin/startup_floor")
program=$(count "$bin/oscillator-calculator")
printf '%-10s %15s\n' floor "$floor" program "$program"
awk -v p="$program" -v f="$floor" 'BEGIN { printf "%-10s %13.2f x\n", "ratio", p / f }'

echo
echo "== calculation core"
"$bin/calc_bench"

echo
echo "== design search (target frequency to standard parts)"
"$bin/design_bench"

echo
echo "== menu selection in the window"
# The offscreen platform warns about the fixed-size window on every start.
"$bin/ui_bench" 2> >(grep -v propagateSizeHints >&2)

echo
echo "== simulation (ngspice in the helper, against ngspice -b on the same netlist)"
"$bin/sim_bench" "$PWD/html" 5
