#!/usr/bin/env bash
# Builds the Debian package from the build tree, checks its control fields
# and contents, unpacks it into a temporary root and starts the installed
# program there, through its link in usr/bin, offscreen.
# Usage: package_test.sh BUILD_DIR APP_ID DEB_VERSION
set -euo pipefail

build=$1 app_id=$2 version=$3
work=$(mktemp -d)
pid=
cleanup() {
    if [[ -n $pid ]]; then kill "$pid" 2>/dev/null || true; fi
    rm -rf "$work"
}
trap cleanup EXIT
# The program reads its folder from the resolved executable path, so compare
# against the resolved root.
work=$(realpath "$work")

failures=0
fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}

echo "== cpack"
cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work/pkg" >"$work/cpack.log" 2>&1 ||
    { cat "$work/cpack.log" >&2; exit 1; }
debs=("$work"/pkg/*.deb)
[[ ${#debs[@]} -eq 1 && -f ${debs[0]} ]] || { echo "FAIL: expected one .deb" >&2; exit 1; }
deb=${debs[0]}
echo "$deb"

echo "== control fields"
dpkg-deb -f "$deb" Package Version Architecture Maintainer Depends Recommends
[[ $(dpkg-deb -f "$deb" Package) == oscillator-calculator ]] || fail "Package"
[[ $(dpkg-deb -f "$deb" Version) == "$version" ]] || fail "Version is not $version"
depends=$(dpkg-deb -f "$deb" Depends)
recommends=$(dpkg-deb -f "$deb" Recommends)
# Whether a relation field names the package (with or without a version) or
# the given alternatives ("a | b") as one item.
has_dep() {
    local items item field=${2:-$depends}
    IFS=, read -ra items <<<"$field"
    for item in "${items[@]}"; do
        item=${item# }
        [[ ${item%% (*} == "$1" ]] && return 0
    done
    return 1
}

dpkg-deb -x "$deb" "$work/root"
root=$work/root
appdir=$root/usr/lib/oscillator-calculator

# Every Qt library the executable links, under Debian's library package
# name (libQt6Widgets.so.6 is in libqt6widgets6), plus what is only loaded
# at run time.
mapfile -t qtlibs < <(objdump -p "$appdir/oscillator-calculator" | awk '$1 == "NEEDED" && $2 ~ /^libQt6/ {print $2}')
[[ ${#qtlibs[@]} -ge 3 ]] || fail "links fewer Qt libraries than expected: ${qtlibs[*]}"
for lib in "${qtlibs[@]}"; do
    module=${lib#libQt6}
    module=${module%%.so.*}
    pkg="libqt6${module,,}6"
    has_dep "$pkg" || fail "Depends lacks $pkg (for $lib)"
done
for pkg in libqt6svg6 "fonts-wqy-microhei | fonts-noto-cjk" libngspice0 libc6 libstdc++6; do
    has_dep "$pkg" || fail "Depends lacks $pkg"
done
has_dep qt6-translations-l10n "$recommends" || fail "Recommends lacks qt6-translations-l10n"

echo "== lintian"
# Debian's own checks: no error and no warning; the informational tags left
# are overridden in the package, each with its reason.
lintian -I "$deb" 2>&1 | grep -v 'running with root privileges' | tee "$work/lintian.log" || true
if grep -q '^[EW]: ' "$work/lintian.log"; then fail "lintian reports errors or warnings"; fi

echo "== contents"
for f in \
    usr/lib/oscillator-calculator/osc-spice \
    usr/lib/oscillator-calculator/html/kiv1.htm \
    usr/lib/oscillator-calculator/html/kiv10.htm \
    usr/lib/oscillator-calculator/html/help.htm \
    usr/lib/oscillator-calculator/html/style.css \
    usr/lib/oscillator-calculator/html/kiv1.svg \
    usr/lib/oscillator-calculator/html/kiv4-wave.svg \
    usr/lib/oscillator-calculator/html/crystal.svg \
    "usr/share/applications/$app_id.desktop" \
    "usr/share/metainfo/$app_id.metainfo.xml" \
    usr/share/doc/oscillator-calculator/copyright \
    usr/share/doc/oscillator-calculator/changelog.gz \
    usr/share/doc/oscillator-calculator/changelog.Debian.gz \
    usr/share/man/man1/oscillator-calculator.1.gz \
    usr/share/man/man1/osccalc.1.gz \
    "usr/share/icons/hicolor/scalable/apps/$app_id.svg"; do
    [[ -f $root/$f ]] || fail "missing $f"
done
# help2man in its default C locale would have turned the Chinese into "?".
zgrep -q '不用计算！' "$root/usr/share/man/man1/osccalc.1.gz" || fail "osccalc.1 lost its Chinese text"
for size in 16 32 48 64 128; do
    [[ -f $root/usr/share/icons/hicolor/${size}x$size/apps/$app_id.png ]] || fail "missing the $size px icon"
done
grep -q "<release version=\"${version%-*}\"" "$root/usr/share/metainfo/$app_id.metainfo.xml" ||
    fail "metainfo release is not $version"
for program in oscillator-calculator osccalc; do
    link=$root/usr/bin/$program
    target=$(readlink "$link") || { fail "usr/bin/$program is not a link"; continue; }
    [[ $target == ../lib/oscillator-calculator/$program ]] ||
        fail "usr/bin/$program points to $target, not a relative path into the application folder"
    [[ -x $link ]] || fail "usr/bin/$program does not lead to an executable"
done

echo "== the installed pages and everything they use"
# The source tree's page checks, run on the installed copy: every reference
# resolves to an installed file, and the window's view class loads every
# picture and the stylesheet of every page.
OSC_HTML_DIR=$appdir/html "$build/bin/pages_tests" --gtest_brief=1 >"$work/pages.log" 2>&1 ||
    { cat "$work/pages.log" >&2; fail "page checks on the installed pages"; }
OSC_HTML_DIR=$appdir/html QT_QPA_PLATFORM=offscreen "$build/bin/pages_view_tests" >"$work/view.log" 2>&1 ||
    { grep -E '^(FAIL|   Loc|Totals)' "$work/view.log" >&2; fail "view checks on the installed pages"; }

echo "== osccalc through its link"
out=$("$root/usr/bin/osccalc" rc4 10 10 1) || fail "osccalc exited $?"
[[ $out == *"T=20.79ms"* ]] || fail "osccalc printed: $out"
# The simulation helper is found beside the resolved program.
out=$("$root/usr/bin/osccalc" simulate rc4 10 10 1 --json) || fail "osccalc simulate exited $?"
[[ $out == *'"oscillates":true'* ]] || fail "osccalc simulate printed: $out"

echo "== the window program through its link, offscreen"
# The view logs each page it shows under the osc.page category.
QT_QPA_PLATFORM=offscreen QT_LOGGING_RULES="osc.page.debug=true" \
    "$root/usr/bin/oscillator-calculator" 2>"$work/stderr" &
pid=$!
shown=
for _ in $(seq 100); do
    if grep -q '^osc.page: showing' "$work/stderr"; then
        shown=yes
        break
    fi
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
done
if kill -0 "$pid" 2>/dev/null; then
    kill "$pid"
    wait "$pid" 2>/dev/null || true
else
    wait "$pid" && status=0 || status=$?
    fail "the program ended by itself (status $status)"
fi
pid=
cat "$work/stderr"
[[ -n $shown ]] || fail "no page was shown within 10 s"
first=$(grep -m1 '^osc.page: showing' "$work/stderr" || true)
[[ $first == "osc.page: showing \"$appdir/html/kiv1.htm\" page" ]] ||
    fail "first page shown is not the installed kiv1.htm: $first"

if ((failures)); then
    echo "$failures check(s) failed" >&2
    exit 1
fi
echo "package test passed"
