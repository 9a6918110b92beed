#!/usr/bin/env bash
# One simulation through the Linux osccalc and osccalc.exe under an emulator,
# each with the helper beside it: the same ngspice built by two compilers, so
# the simulated frequencies agree to 0.1 %.
# Usage: osccalc_simulate_same_test.sh LINUX_OSCCALC WINDOWS_OSCCALC EMULATOR...
set -euo pipefail

linux=$1 windows=$2
shift 2
if [[ ! -x $linux ]]; then
    echo "FAIL: no Linux osccalc at '$linux' to compare with: build the default preset" \
        "first, or set OSC_LINUX_OSCCALC" >&2
    exit 1
fi
args=(simulate rc4 10 10 1 --json)
frequency() {
    local answer
    answer=$("$@" "${args[@]}") || true
    sed -nE 's/.*"f":([-+0-9.eE]+).*/\1/p' <<<"$answer"
    [[ $answer == *'"f":'* ]] || echo "no simulated f from $*: $answer" >&2
}
on_linux=$(frequency "$linux")
on_windows=$(frequency "$@" "$windows")
[[ -n $on_linux && -n $on_windows ]] || exit 1
awk -v what="osccalc ${args[*]}" -v a="$on_linux" -v b="$on_windows" 'BEGIN {
    d = b / a - 1
    printf "%s: simulated f %s Hz on Linux, %s Hz on Windows (%+.4f %%)\n", what, a, b, 100 * d
    exit (d < -0.001 || d > 0.001)
}'
