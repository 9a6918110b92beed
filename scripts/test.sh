#!/usr/bin/env bash
# Installs what is missing, checks formatting, builds and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/deps.sh test

echo "== formatting"
mapfile -t sources < <(git ls-files -co --exclude-standard -- '*.cpp' '*.h')
clang-format --dry-run --Werror "${sources[@]}"

echo "== build and test"
cmake --preset default -DOSC_BUILD_BENCH=ON
cmake --build --preset default -j2
QT_QPA_PLATFORM=offscreen ctest --preset default

echo "== the same tests under AddressSanitizer and UndefinedBehaviorSanitizer"
# LeakSanitizer runs with them: a leak fails the test that made it.
cmake --preset asan
cmake --build --preset asan -j2
QT_QPA_PLATFORM=offscreen ctest --preset asan

echo "== fuzz"
scripts/fuzz.sh 30
