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
# The window program's packages take 15-20 minutes more even with Qt cached;
# OSC_TEST_WINDOWS_APP=1 adds them here, scripts/windows.sh --test runs them alone.
if [[ ${OSC_TEST_WINDOWS_APP:-0} == 1 ]]; then
    echo "== Windows: the window program's zip and installer, tested under Wine (when Qt for MinGW is cached)"
    scripts/windows.sh --test --if-cached
else
    echo "== Windows: the window program's zip and installer skipped (OSC_TEST_WINDOWS_APP=1 or scripts/windows.sh --test run them)"
fi
echo "== the same tests under AddressSanitizer and UndefinedBehaviorSanitizer (and LeakSanitizer)"
cmake --workflow --preset asan
echo "== fuzz"
scripts/fuzz.sh 30
