#!/usr/bin/env bash
# Where each circuit's designs hold in the simulator: targets swept across a
# wide span, per circuit, through `osccalc design ID F --simulate`; prints the
# first answer's simulated frequency and whether it lies within 5 % of the
# target ("ok"), then per circuit the widest run of "ok" targets, which is
# what calc/modes.cpp's usual bands follow.
# Usage: scripts/bandsweep.sh [OSCCALC] [STEPS_PER_DECADE]
set -euo pipefail
cd "$(dirname "$0")/.."

osccalc=${1:-build/bin/osccalc}
steps=${2:-4}
if [[ ! -x $osccalc ]]; then
    echo "usage: $0 [OSCCALC] [STEPS_PER_DECADE] (build osccalc first)" >&2
    exit 2
fi

# circuit, lowest and highest target swept (Hz): the bands before the sweep.
spans=(
    "rc1 1 1e6"
    "rc2 0.1 1e5"
    "rc3 0.1 2e5"
    "rc4 0.1 2e5"
    "lc1 1e3 1e8"
    "lc2 1e3 1e8"
    "lc3 1e3 1e8"
    "lc4 1e3 1e8"
)

for span in "${spans[@]}"; do
    read -r id low high <<<"$span"
    targets=$(awk -v lo="$low" -v hi="$high" -v n="$steps" 'BEGIN {
        k = int(log(hi / lo) / log(10) * n + 0.5)
        for (i = 0; i <= k; i++) printf "%.4g\n", lo * 10 ^ (i / n) }')
    best=""
    run=""
    for t in $targets; do
        row=$(LC_ALL=C "$osccalc" design "$id" "$t" --simulate --top 5 2>/dev/null | head -n 1)
        sim=${row##*$'\t'}
        verdict=off
        # "sim f=456.9kHz (+0.41%) starts": within 5 % is ok.
        if [[ $sim =~ \(([+-][0-9.]+)%\)\ starts$ ]] &&
            awk -v e="${BASH_REMATCH[1]}" 'BEGIN { exit !(e <= 5 && e >= -5) }'; then
            verdict=ok
        fi
        printf '%s\t%s\t%s\t%s\n' "$id" "$t" "$verdict" "$sim"
        if [[ $verdict == ok ]]; then
            run=${run:+${run%% *} }$t
            if [[ -z $best ]] || awk -v a="$run" -v b="$best" 'BEGIN {
                split(a, x, " "); split(b, y, " ")
                exit !((x[2] ? x[2] / x[1] : 1) > (y[2] ? y[2] / y[1] : 1)) }'; then
                best=$run
            fi
        else
            run=""
        fi
    done
    printf '%s\twithin 5 %%: %s\n' "$id" "${best:-none}"
done
