#!/usr/bin/env bash
# Breaks real behaviour one line at a time and checks that the tests notice:
# for each row it applies the break, rebuilds the row's targets, runs the
# row's tests (stopping at the first failure), restores the file and prints
# a Markdown table at the end. Exit status 1 when a break is not caught,
# matches nothing or does not build; 2 when it cannot start.
#
#   scripts/faults.sh [BUILD_DIR]   (default build, the default preset, already built)
#   FAULTS_ONLY="3 7" scripts/faults.sh   only those rows
set -uo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
if [[ ! -f $build/CTestTestfile.cmake ]]; then
    echo "faults.sh: $build is no configured build folder (cmake --preset default)" >&2
    exit 2
fi
logs=$build/faults
mkdir -p "$logs"

names=() files=() targets=() tests=() substs=()
# fault NAME FILES TARGETS TEST_REGEX SUBST...
# FILES: where the line may live (the first that exists and matches is
# used); SUBST: perl substitutions, tried in order, the first that matches
# changes its first matching line only. Later alternatives are for code
# that is being rewritten; anchors that stay put are preferred.
fault() {
    names+=("$1") files+=("$2") targets+=("$3") tests+=("$4")
    shift 4
    local joined
    printf -v joined '%s\n' "$@"
    substs+=("$joined")
}

fault "ln 2 of the multivibrator and 555 formulas" calc/formulas.cpp calc_tests \
    'Formulas\.' \
    's/(kLn2 = )0\.693/${1}0.694/'
fault "numeric check allows two points" calc/numtext.cpp calc_tests \
    'TextCheck\.' \
    's/points < 2/points < 3/'
fault "box limit of 10 characters off by one" calc/inputlimit.cpp calc_tests \
    'BoxLength\.' \
    's/\*length <= /*length < /'
fault "E24 member 430 mistyped" calc/design.cpp calc_tests \
    'SeriesTable\.' \
    's/\b430\b/440/'
fault "E96 (and E48) member 866 mistyped" calc/design.cpp calc_tests \
    'SeriesTable\.' \
    's/\b866\b/867/'
fault "prefix n read as 1e-8" calc/quantity.cpp calc_tests \
    'Quantity\.' \
    's/("n",\s*)-9\b/${1}-8/'
fault "1-2-5 scale steps 1-2.5-5" calc/waveform.cpp calc_tests \
    'Scale125\.' \
    's/\{1\.0, 2\.0, 5\.0\}/{1.0, 2.5, 5.0}/'
fault "collector resistor ignores the factor 2 of saturation" calc/circuitparts.cpp calc_tests \
    'CollectorResistor\.' \
    's/\b2 \* high \/ kMultivibratorBetaMin/1 * high \/ kMultivibratorBetaMin/'
fault "ranking prefers the middle over fewer values" calc/designsearch.cpp calc_tests \
    'Optimal\.MatchesBruteForce' \
    's/tie\(([ab])\.distinct, \1\.off,/tie($1.off, $1.distinct,/g'
fault "caption of lc4's C2 in nF" calc/catalogue.h calc_tests \
    'DesignInputs\.' \
    's/"C2 \(pF\)"/"C2 (nF)"/'
fault "measured period counts one cycle too many" sim/measure.cpp sim_tests \
    'Measurement\.' \
    's/static_cast<double>\(m\.cycles\);/static_cast<double>(m.cycles + 1);/'
fault "555 netlist's divider 5k/10k/5k" sim/circuits.cpp sim_tests \
    'Simulation\.EachPageExample' \
    's/(RD2 cv lo )5k/${1}10k/'
fault "exit code of osccalc - takes the lowest" cli/osccalc.cpp cli_tests \
    '^cli\.Cli\.' \
    's/std::max\(code, outcome\.exitCode\(\)\)/std::min(code, outcome.exitCode())/'
fault "osccalc design --fix keeps the = in the value" "cli/design.cpp calc/designrequest.cpp" \
    cli_design_tests 'DesignLines\.|DesignCli\.' \
    's/value\.substr\(sep \+ 1\)/value.substr(sep)/'
fault "dialog reads MHz as kHz" "ui/designdialog.cpp calc/designrequest.cpp" ui_design_tests \
    '^ui_design_tests$' \
    's/\{1\.0, 1e3, 1e6\}/{1.0, 1e3, 1e3}/'
fault "page guard lets one level deeper through" ui/pageguard.cpp ui_view_tests \
    '^ui_view_tests$' \
    's/open_\.size\(\) <= kMaxDepth/open_.size() <= kMaxDepth + 1/' \
    's/(>\s*)kMaxDepth\b/${1}kMaxDepth + 1/' \
    's/(<=\s*)kMaxDepth\b/${1}kMaxDepth + 1/'
fault "greyed result lines lose their caption's colon" ui/resultlabel.cpp ui_form1_tests \
    '^ui_form1_tests$' \
    's/"上次计算："/"上次计算:"/'

picked=()
for i in "${!names[@]}"; do
    if [[ -z ${FAULTS_ONLY:-} || " $FAULTS_ONLY " == *" $((i + 1)) "* ]]; then
        picked+=("$i")
    fi
done

# Refuse to run on local changes: restoring a file takes it back to HEAD.
for i in "${picked[@]}"; do
    for f in ${files[i]}; do
        if [[ -e $f ]] && ! git diff --quiet HEAD -- "$f"; then
            echo "faults.sh: $f has uncommitted changes; commit or stash them first" >&2
            exit 2
        fi
    done
done

broken=""
restore() {
    if [[ -n $broken ]]; then
        git checkout -- "$broken"
        broken=""
    fi
}
trap restore EXIT
trap 'restore; exit 130' INT TERM

export QT_QPA_PLATFORM=offscreen
runTests() { # REGEX LOG
    ctest --test-dir "$build" -R "$1" --no-tests=error --stop-on-failure --output-on-failure \
        --timeout 300 >"$2" 2>&1
}
# The tests that failed, as ctest names them, and a window test's first
# failing function.
failedTests() { # LOG
    sed -n '/The following tests FAILED:/,${s/  # GetParam() = .* (/ (/;s/^[[:space:]]*[0-9]* - \(.*\) ([^)]*)$/\1/p}' "$1"
    sed -n 's/^FAIL!  : [^:]*::\([^ ]*([^)]*)\).*/\1/p' "$1" | head -1
}

# Every row's tests pass before anything is broken.
mapfile -t all < <(for i in "${picked[@]}"; do echo "${targets[i]}"; done | tr ' ' '\n' | sort -u)
echo "== building ${all[*]}"
cmake --build "$build" --target "${all[@]}" -j2 >"$logs/build.log" 2>&1 || {
    echo "faults.sh: the unchanged sources do not build; see $logs/build.log" >&2
    exit 2
}
union=$(for i in "${picked[@]}"; do printf '%s|' "${tests[i]}"; done)
echo "== the rows' tests on the unchanged sources"
if ! runTests "${union%|}" "$logs/baseline.log"; then
    echo "faults.sh: tests fail without any break: $(failedTests "$logs/baseline.log" | head -3)" >&2
    exit 2
fi

rows=() status=0
for i in "${picked[@]}"; do
    n=$((i + 1))
    applied=""
    for f in ${files[i]}; do
        [[ -e $f ]] || continue
        while IFS= read -r s; do
            [[ -n $s ]] || continue
            perl -i -pe "if (!\$done) { \$done = ($s) }" "$f"
            if ! git diff --quiet -- "$f"; then
                applied=$f
                break 2
            fi
        done <<<"${substs[i]}"
    done
    log=$logs/$n.log
    if [[ -z $applied ]]; then
        result="no match" caught="" shown=${files[i]%% *}
    else
        broken=$applied shown=$applied
        git diff -U0 -- "$applied" | grep '^[-+][^-+]' >"$log"
        if ! cmake --build "$build" --target ${targets[i]} -j2 >>"$log" 2>&1; then
            result="does not build" caught=""
        elif runTests "${tests[i]}" "$log.ctest"; then
            result="NOT CAUGHT" caught=""
        else
            caught=$(failedTests "$log.ctest" | paste -sd ' ')
            result=$([[ -n $caught ]] && echo caught || echo "NOT CAUGHT (ctest failed)")
        fi
        restore
    fi
    [[ $result == caught ]] || status=1
    echo "== $n. ${names[i]}: $result ${caught:+($caught)}"
    rows+=("| $n. ${names[i]} | \`$shown\` | ${caught:+\`$caught\`} | $result |")
done

echo "== rebuilding ${all[*]} from the restored sources"
cmake --build "$build" --target "${all[@]}" -j2 >"$logs/build.log" 2>&1 || status=1
echo
echo "| fault | file | caught by | result |"
echo "|---|---|---|---|"
printf '%s\n' "${rows[@]}"
exit "$status"
