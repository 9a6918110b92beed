#!/usr/bin/env bash
# Builds osccalc.exe a second time, from scratch in a temporary folder, and
# compares it byte for byte with the build tree's: the same sources make the
# same program whenever and wherever they are built.
# Usage: reproducible_test.sh SOURCE_DIR TOOLCHAIN_FILE BUILD_TYPE OSCCALC_EXE
set -euo pipefail

source=$1 toolchain=$2 build_type=$3 first=$4
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

start=$SECONDS
if ! { cmake -S "$source" -B "$work/build" -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
    -DCMAKE_BUILD_TYPE="$build_type" -DOSC_BUILD_UI=OFF -DOSC_BUILD_TESTS=OFF \
    -DOSC_BUILD_BENCH=OFF && cmake --build "$work/build" --target osccalc -j2; } \
    >"$work/build.log" 2>&1; then
    cat "$work/build.log" >&2
    exit 1
fi
second=$work/build/bin/osccalc.exe
echo "second build of osccalc.exe: $((SECONDS - start)) s"

if cmp -s "$first" "$second"; then
    echo "identical: $(stat -c %s "$first") bytes"
    exit 0
fi
echo "FAIL: $first and the second build differ (offset, bytes in octal):" >&2
cmp -l "$first" "$second" | head -n 20 >&2 || true
exit 1
