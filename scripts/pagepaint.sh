#!/usr/bin/env bash
# Times the window's first paint with PAGE shown as its start-up page
# (html/kiv1.htm), offscreen, RUNS times (default 3), against the one-QLabel
# floor: the medians of the time from start to the first painted frame and
# of peak resident memory, as scripts/bench.sh prints them for start-up.
# Uses the default preset's build; BIN names another build's bin folder.
# Usage: scripts/pagepaint.sh PAGE.htm [RUNS] [BIN]
set -euo pipefail
cd "$(dirname "$0")/.."

if [[ $# -lt 1 || $# -gt 3 || ! -f $1 ]]; then
    echo "usage: $0 PAGE.htm [RUNS] [BIN]" >&2
    exit 2
fi
page=$1
runs=${2:-3}
bin=${3:-$PWD/build/bin}

# The program looks for its pages beside itself: a copy of it gets the page.
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
cp "$bin/oscillator-calculator" "$dir/"
cp -r "$bin/html" "$dir/html"
cp "$page" "$dir/html/kiv1.htm"

export QT_QPA_PLATFORM=offscreen
"$bin/startup_bench" "$bin/firstpaint_probe.so" "$bin/startup_floor" \
    "$dir/oscillator-calculator" "$runs"
