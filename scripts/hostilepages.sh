#!/usr/bin/env bash
# Times the view with each hostile page of ui_view_tests' table (or the rows
# of another of its test functions that show a page in a child process,
# FILTER): over RUNS runs (default 5), the median time from starting the
# child to its end, and the median and slowest time the view took in the
# child to read, lay out and paint the page, as the test prints them. Uses
# the default preset's build; BIN names another bin folder.
# Usage: scripts/hostilepages.sh [RUNS] [FILTER] [BIN]
set -euo pipefail
cd "$(dirname "$0")/.."

runs=${1:-5}
filter=${2:-hostilePagesAreBounded}
bin=${3:-$PWD/build/bin}

export QT_QPA_PLATFORM=offscreen
for ((i = 0; i < runs; ++i)); do
    "$bin/ui_view_tests" "$filter" 2>&1 | grep '^QINFO' || true
done | sed -E 's/^QINFO +: [^(]*\((.*)\) [^ ]*: ([0-9]+) ms, ([0-9]+) ms in the view$/\1\t\2\t\3/' |
    awk -F'\t' '
        function median(list,    t, k, i, j, x) {
            k = split(substr(list, 2), t, " ")
            for (i = 2; i <= k; ++i) { x = t[i]; for (j = i - 1; j > 0 && t[j] > x; --j) t[j + 1] = t[j]; t[j + 1] = x }
            slowest = t[k]
            return t[int((k + 1) / 2)]
        }
        NF == 3 {
            if (!($1 in child)) order[++rows] = $1
            child[$1] = child[$1] " " $2; view[$1] = view[$1] " " $3
        }
        END {
            printf "%8s %8s %8s  %s\n", "child", "view", "slowest", "page (medians of the child and the view)"
            for (r = 1; r <= rows; ++r) {
                c = median(child[order[r]]); v = median(view[order[r]])
                printf "%5d ms %5d ms %5d ms  %s\n", c, v, slowest, order[r]
            }
        }'
