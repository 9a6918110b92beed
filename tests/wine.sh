#!/usr/bin/env bash
# Runs a command (wine and a program) in a Wine prefix of its own under DIR,
# which is also HOME and TMPDIR for Wine: nothing in the user's home
# (~/.wine, menu entries, XDG folders) is read or written. No display: the
# programs are console ones. Without Mono, Gecko and the menu builder, which
# nothing here needs.
# Usage: wine.sh DIR COMMAND [ARGS...]  run COMMAND, making the prefix first
#        wine.sh DIR --start            make the prefix, keep one server running
#        wine.sh DIR --stop             stop that server and remove the prefix
set -euo pipefail

mkdir -p "$1"
dir=$(cd "$1" && pwd)
shift
mkdir -p "$dir/home" "$dir/tmp"
export WINEPREFIX=$dir/prefix HOME=$dir/home TMPDIR=$dir/tmp WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml,winemenubuilder.exe="
unset DISPLAY WAYLAND_DISPLAY XDG_CONFIG_HOME XDG_DATA_HOME XDG_CACHE_HOME

if [[ $1 == --stop ]]; then
    wineserver -k 2>/dev/null || true
    wineserver -w 2>/dev/null || true
    rm -rf "$WINEPREFIX" "$dir/home" "$dir/tmp" "$dir/lock"
    rmdir "$dir"
    exit 0
fi

# The prefix is made on first use, whoever comes first (test discovery when
# ctest starts, or the fixture that starts the server), and one maker at a
# time. Its server is left to write everything and exit.
exec 9>"$dir/lock"
flock 9
if [[ ! -f $WINEPREFIX/system.reg ]]; then
    rm -rf "$WINEPREFIX"
    wineboot -i </dev/null >/dev/null 2>&1 9>&-
    wineserver -w
fi
exec 9>&-

if [[ $1 == --start ]]; then
    # A server left over from an interrupted run goes first. Then one server
    # for the whole run instead of one per test, with Wine's services started
    # here, so that they do not hold a test's output open. Neither keeps this
    # script's output open either, or ctest would wait for them. The server
    # outlives an interrupted run by five idle minutes at most.
    wineserver -k 2>/dev/null || true
    wineserver -w
    wineserver -p300 </dev/null >/dev/null 2>&1
    wineboot </dev/null >/dev/null 2>&1
    echo "Wine prefix ready: $WINEPREFIX"
else
    exec "$@"
fi
