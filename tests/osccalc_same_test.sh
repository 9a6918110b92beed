#!/usr/bin/env bash
# The Linux osccalc and osccalc.exe under an emulator give the same answers.
# By default one table through both: the piped answers and the exit codes must
# be the same bytes, number formatting included, with and without --json.
# With --simulate one simulation, each with the helper beside it: the same
# ngspice built by two compilers, so the simulated frequencies agree to 0.1 %.
# Usage: osccalc_same_test.sh [--simulate] LINUX_OSCCALC WINDOWS_OSCCALC EMULATOR...
set -euo pipefail

simulate=0
if [[ ${1:-} == --simulate ]]; then
    simulate=1
    shift
fi
linux=$1 windows=$2
shift 2
if [[ ! -x $linux ]]; then
    echo "FAIL: no Linux osccalc at '$linux' to compare with: build the default preset" \
        "first, or set OSC_LINUX_OSCCALC" >&2
    exit 1
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

if ((simulate)); then
    # The samples go to a file with a Chinese name: a UTF-8 name that Windows
    # takes as a narrow (code page) one comes out garbled or is refused.
    args=(simulate rc4 10 10 1 --json --csv "波形 ü.csv")
    frequency() {
        local answer
        answer=$(cd "$work/$1" && "${@:2}" "${args[@]}") || true
        sed -nE 's/.*"f":([-+0-9.eE]+).*/\1/p' <<<"$answer"
        [[ $answer == *'"f":'* ]] || echo "no simulated f from ${*:2}: $answer" >&2
    }
    mkdir "$work/linux" "$work/windows"
    on_linux=$(frequency linux "$linux")
    on_windows=$(frequency windows "$@" "$windows")
    [[ -n $on_linux && -n $on_windows ]] || exit 1
    for side in linux windows; do
        if ! head -n 1 "$work/$side/波形 ü.csv" | grep -qw time; then
            echo "no samples in \"波形 ü.csv\" from the $side osccalc: $(ls "$work/$side")" >&2
            exit 1
        fi
    done
    awk -v what="osccalc ${args[*]}" -v a="$on_linux" -v b="$on_windows" 'BEGIN {
        d = b / a - 1
        printf "%s: simulated f %s Hz on Linux, %s Hz on Windows (%+.4f %%)\n", what, a, b, 100 * d
        exit (d < -0.001 || d > 0.001)
    }'
    exit
fi

for circuit in rc1 rc2 rc3 rc4 lc1 lc2 lc3 lc4 quartz1 quartz2 rc9; do
    for values in "1 1 1 1" "10 10 1" "3.3 4.7 0.01 2200" "0.000001 1000000 7 3" \
        "9999999999 9999999999 1 1" "0.5 0 2 2" "1 . 1" "１ 1 1 1" "1 1 μ" "1 1 1 1 1"; do
        printf '%s %s\r\n' "$circuit" "$values"
    done
done >"$work/table"

status=0
for json in "" --json; do
    code=0
    "$linux" $json - <"$work/table" >"$work/linux" || code=$?
    echo "exit $code" >>"$work/linux"
    code=0
    "$@" "$windows" $json - <"$work/table" >"$work/windows" || code=$?
    echo "exit $code" >>"$work/windows"
    if cmp "$work/linux" "$work/windows"; then
        echo "same: osccalc ${json:-(text)}, $(wc -l <"$work/linux") lines"
    else
        diff "$work/linux" "$work/windows" | head -n 20 >&2 || true
        status=1
    fi
done
exit $status
