#!/usr/bin/env bash
# Builds the Debian package from the build tree, checks its control fields
# and contents, unpacks it into a temporary root and starts the installed
# program there, through its link in usr/bin, offscreen.
# Usage: package_test.sh BUILD_DIR APP_ID VERSION
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
dpkg-deb -f "$deb" Package Version Architecture Depends
[[ $(dpkg-deb -f "$deb" Package) == oscillator-calculator ]] || fail "Package"
[[ $(dpkg-deb -f "$deb" Version) == "$version" ]] || fail "Version is not $version"
depends=$(dpkg-deb -f "$deb" Depends)
# Whether Depends names the package (with or without a version).
has_dep() {
    local items item
    IFS=, read -ra items <<<"$depends"
    for item in "${items[@]}"; do
        item=${item# }
        [[ ${item%% *} == "$1" ]] && return 0
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
for pkg in libqt6svg6 fonts-wqy-microhei qt6-translations-l10n libc6 libstdc++6; do
    has_dep "$pkg" || fail "Depends lacks $pkg"
done

echo "== contents"
for f in \
    usr/lib/oscillator-calculator/html/kiv1.htm \
    usr/lib/oscillator-calculator/html/kiv10.htm \
    usr/lib/oscillator-calculator/html/help.htm \
    usr/lib/oscillator-calculator/html/style.css \
    usr/lib/oscillator-calculator/html/kiv1.svg \
    usr/lib/oscillator-calculator/html/kiv4-wave.svg \
    usr/lib/oscillator-calculator/html/crystal.svg \
    "usr/share/applications/$app_id.desktop" \
    "usr/share/metainfo/$app_id.metainfo.xml" \
    "usr/share/icons/hicolor/32x32/apps/$app_id.png" \
    "usr/share/icons/hicolor/128x128/apps/$app_id.png"; do
    [[ -f $root/$f ]] || fail "missing $f"
done
grep -q "<release version=\"$version\"" "$root/usr/share/metainfo/$app_id.metainfo.xml" ||
    fail "metainfo release is not $version"
for program in oscillator-calculator osccalc; do
    link=$root/usr/bin/$program
    target=$(readlink "$link") || { fail "usr/bin/$program is not a link"; continue; }
    [[ $target == ../lib/oscillator-calculator/$program ]] ||
        fail "usr/bin/$program points to $target, not a relative path into the application folder"
    [[ -x $link ]] || fail "usr/bin/$program does not lead to an executable"
done

echo "== osccalc through its link"
out=$("$root/usr/bin/osccalc" rc4 10 10 1) || fail "osccalc exited $?"
[[ $out == *"T=20.79ms"* ]] || fail "osccalc printed: $out"

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
