#!/usr/bin/env bash
# Times the view with each hostile page of ui_view_tests' table (and the
# other rows named by FILTER, a test function, default hostilePagesAreBounded):
# the median over RUNS runs (default 5) of the time from starting the child
# process that shows the page to its end, as the test prints it, and the
# slowest run. Uses the default preset's build; BIN names another bin folder.
# Usage: scripts/hostilepages.sh [RUNS] [FILTER] [BIN]
set -euo pipefail
cd "$(dirname "$0")/.."

runs=${1:-5}
filter=${2:-hostilePagesAreBounded}
bin=${3:-$PWD/build/bin}

export QT_QPA_PLATFORM=offscreen
for ((i = 0; i < runs; ++i)); do
    "$bin/ui_view_tests" "$filter" 2>&1 | grep '^QINFO' || true
done | sed -E 's/^QINFO +: [^(]*\((.*)\) [^ ]*: ([0-9]+) ms$/\2\t\1/' |
    sort -t$'\t' -k2,2 -k1,1n |
    awk -F'\t' '
        { times[$2] = times[$2] " " $1; n[$2]++; if (!($2 in seen)) { order[++rows] = $2; seen[$2] = 1 } }
        END {
            printf "%8s %8s  %s\n", "median", "slowest", "page"
            for (r = 1; r <= rows; ++r) {
                k = split(substr(times[order[r]], 2), t, " ")
                printf "%5d ms %5d ms  %s\n", t[int((k + 1) / 2)], t[k], order[r]
            }
        }'
