#!/usr/bin/env bash
# Builds the libFuzzer targets (preset "fuzz") and runs each one for SECONDS
# (default 30) on a scratch copy of its seed corpus, so the repository's
# corpus never changes. Exits non-zero if a target finds a crash or a broken
# invariant; the input that did it is kept in build-fuzz/artifacts/.
# Usage: scripts/fuzz.sh [SECONDS]        e.g. scripts/fuzz.sh 600 for a long run
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-30}
if ! [[ $seconds =~ ^[1-9][0-9]*$ ]]; then
    echo "usage: $0 [SECONDS]" >&2
    exit 2
fi

scripts/deps.sh fuzz

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j2

artifacts=$PWD/build-fuzz/artifacts
mkdir -p "$artifacts"
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

# target:max_len. The calculate input holds four texts, each up to 10,000
# characters and more; a design query is a few short fields; the test input
# is one text.
targets=(calculate:45000 design:400 test:20000)
failed=0
for entry in "${targets[@]}"; do
    name=${entry%%:*}
    maxlen=${entry##*:}
    cp -r "fuzz/corpus/$name" "$scratch/$name"
    log=$scratch/$name.log
    echo "== fuzz_$name for ${seconds}s"
    # One fuzzing process, in-process: the machine's two cores are shared.
    # -jobs/-workers are left out on purpose, as -jobs=1 forks a child that
    # writes its output to fuzz-0.log in the working directory instead.
    status=0
    build-fuzz/bin/fuzz_"$name" "$scratch/$name" \
        -max_total_time="$seconds" -max_len="$maxlen" -timeout=10 -rss_limit_mb=2048 \
        -print_final_stats=1 -artifact_prefix="$artifacts/$name-" >"$log" 2>&1 || status=$?
    if ((status == 0)); then
        grep -E '^Done [0-9]+ runs in [0-9]+ second' "$log"
        grep -E '^stat::(number_of_executed_units|peak_rss_mb)' "$log" || true
        echo "corpus grew from $(find "fuzz/corpus/$name" -type f | wc -l)" \
            "to $(find "$scratch/$name" -type f | wc -l) inputs"
    else
        failed=1
        echo "fuzz_$name FAILED (exit $status):"
        grep -E 'invariant violated|ERROR: |SUMMARY: |runtime error|Test unit written' "$log" || tail -n 30 "$log"
        grep -E '^stat::number_of_executed_units' "$log" || true
    fi
done
exit "$failed"
