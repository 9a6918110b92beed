#!/usr/bin/env bash
# Installs what is missing, checks formatting, builds and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/deps.sh test
echo "== formatting"
mapfile -t sources < <(git ls-files -co --exclude-standard -- '*.cpp' '*.h')
clang-format --dry-run --Werror "${sources[@]}"
echo "== build and test (the window tests offscreen; the benchmarks smoke-run)"
cmake --workflow --preset default
echo "== Windows: the core and osccalc.exe cross-built, tested under Wine, compared with osccalc"
cmake --workflow --preset windows-core
echo "== Windows: the window program's zip and installer, tested under Wine (when Qt for MinGW is cached)"
scripts/windows.sh --test --if-cached
echo "== the same tests under AddressSanitizer and UndefinedBehaviorSanitizer (and LeakSanitizer)"
cmake --workflow --preset asan
echo "== fuzz"
scripts/fuzz.sh 30
