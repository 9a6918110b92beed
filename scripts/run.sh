#!/usr/bin/env bash
# Installs what is missing, builds the window program and starts it.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/deps.sh run
cmake --preset app >/dev/null
cmake --build --preset app -j2

program=build-app/bin/oscillator-calculator
if [[ -z ${DISPLAY:-} && -z ${WAYLAND_DISPLAY:-} ]]; then
    echo "No display found. To run without one, under a virtual X server:"
    echo "    xvfb-run -a $program"
    exit 1
fi
exec "$program" "$@"
