#!/usr/bin/env bash
# Installs what is missing, checks formatting, builds and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/deps.sh test

echo "== formatting"
mapfile -t sources < <(git ls-files -co --exclude-standard -- '*.cpp' '*.h')
clang-format --dry-run --Werror "${sources[@]}"

echo "== build and test"
# The workflow configures, builds (two jobs) and tests; its test preset runs
# the window tests offscreen. The benchmarks are built too, since the
# packages above include Google Benchmark.
cmake --workflow --preset default

echo "== Windows: the core and osccalc.exe cross-built with MinGW-w64, tested under Wine"
start=$SECONDS
cmake --preset windows-core
cmake --build --preset windows-core -j2
built=$SECONDS
(
    # A private prefix in a temporary folder, removed afterwards, which is
    # also HOME and TMPDIR for Wine: nothing in the user's home (~/.wine,
    # menu entries) is read or written, and the server's socket folder goes
    # with the rest. No display: the programs are console ones. Without
    # Mono, Gecko and the menu builder, which nothing here needs.
    scratch=$(mktemp -d)
    trap 'wineserver -k 2>/dev/null; wineserver -w 2>/dev/null; rm -rf "$scratch"' EXIT
    export WINEPREFIX=$scratch/wine HOME=$scratch TMPDIR=$scratch WINEDEBUG=-all
    export WINEDLLOVERRIDES="mscoree,mshtml,winemenubuilder.exe="
    unset DISPLAY WAYLAND_DISPLAY XDG_CONFIG_HOME XDG_DATA_HOME XDG_CACHE_HOME
    # The prefix is made first, and its server left to finish and exit.
    wineboot -i
    wineserver -w
    # Then one Wine server for the whole run instead of one per test, with
    # Wine's services started here, so that they do not hold a test's
    # output open.
    wineserver -p
    wineboot </dev/null >/dev/null 2>&1
    prefixed=$SECONDS
    status=0
    ctest --preset windows-core -j2 || status=$?
    # One table through both builds: the piped answers and the exit codes
    # must be the same bytes, number formatting included.
    for circuit in rc1 rc2 rc3 rc4 lc1 lc2 lc3 lc4 quartz1 quartz2 rc9; do
        for values in "1 1 1 1" "10 10 1" "3.3 4.7 0.01 2200" "0.000001 1000000 7 3" \
            "9999999999 9999999999 1 1" "0.5 0 2 2" "1 . 1" "１ 1 1 1" "1 1 μ" "1 1 1 1 1"; do
            printf '%s %s\r\n' "$circuit" "$values"
        done
    done >"$scratch/table"
    for json in "" --json; do
        code=0
        build/bin/osccalc $json - <"$scratch/table" >"$scratch/linux" || code=$?
        echo "exit $code" >>"$scratch/linux"
        code=0
        wine build-windows-core/bin/osccalc.exe $json - <"$scratch/table" >"$scratch/windows" ||
            code=$?
        echo "exit $code" >>"$scratch/windows"
        cmp "$scratch/linux" "$scratch/windows" || status=1
    done
    echo "Windows part: build $((built - start)) s, Wine prefix $((prefixed - built)) s," \
        "tests $((SECONDS - prefixed)) s"
    exit $status
)

echo "== the same tests under AddressSanitizer and UndefinedBehaviorSanitizer"
# LeakSanitizer runs with them: a leak fails the test that made it.
cmake --workflow --preset asan

echo "== fuzz"
scripts/fuzz.sh 30
