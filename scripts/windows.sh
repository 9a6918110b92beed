#!/usr/bin/env bash
# The window program for 64-bit Windows, cross-built here with MinGW-w64:
#  1. Qt (qtbase only) for MinGW, built once from Debian's own qt6-base source
#     package into a cache folder outside the checkout and reused afterwards;
#  2. the window program and osccalc.exe against it;
#  3. a folder with everything they need and oscillator-calculator-<version>-win64.zip.
# With --test it then unpacks the zip and runs the program under Wine on Xvfb.
# Usage: scripts/windows.sh [--test] [--qt-only]
# OSC_QT_MINGW_DIR overrides the cache folder (default
# ${XDG_CACHE_HOME:-~/.cache}/oscillator-calculator/qt6-mingw).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

run_test=0
qt_only=0
for arg in "$@"; do
    case $arg in
    --test) run_test=1 ;;
    --qt-only) qt_only=1 ;;
    *) echo "usage: $0 [--test] [--qt-only]" >&2; exit 2 ;;
    esac
done

cache=${OSC_QT_MINGW_DIR:-${XDG_CACHE_HOME:-$HOME/.cache}/oscillator-calculator/qt6-mingw}
prefix=$cache/prefix
toolchain=$root/cmake/mingw-w64-x86_64.cmake
jobs=${OSC_JOBS:-2}

now() { date +%s; }
elapsed() { echo "$(($(now) - $1)) s"; }

need_packages() {
    local missing=() pkg
    for pkg in "$@"; do
        if ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "install ok installed"; then
            missing+=("$pkg")
        fi
    done
    if ((${#missing[@]})); then
        echo "Installing: ${missing[*]}"
        apt-get -o DPkg::Lock::Timeout=600 install -y --no-install-recommends "${missing[@]}"
    fi
}

# The source entries are the machine's own binary entries with their type
# changed, in a private apt configuration, so the system's lists stay as they are.
fetch_qt_source() {
    local apt=$cache/apt
    mkdir -p "$apt/sources.list.d" "$apt/lists/partial" "$apt/cache/archives/partial" "$cache/src"
    rm -f "$apt/sources.list.d/"*
    local f n=0
    for f in /etc/apt/sources.list.d/*.sources; do
        [[ -f $f ]] || continue
        sed -E 's/^Types:.*/Types: deb-src/' "$f" >"$apt/sources.list.d/$((n++)).sources"
    done
    for f in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
        [[ -f $f ]] || continue
        sed -nE 's/^[[:space:]]*deb([[:space:]])/deb-src\1/p' "$f" >"$apt/sources.list.d/$((n++)).list"
    done
    local opts=(-o Dir::Etc::SourceList=/dev/null -o "Dir::Etc::SourceParts=$apt/sources.list.d"
        -o "Dir::State::Lists=$apt/lists" -o "Dir::Cache=$apt/cache"
        -o Dir::Cache::pkgcache= -o Dir::Cache::srcpkgcache=)
    apt-get "${opts[@]}" update
    (cd "$cache/src" && apt-get "${opts[@]}" source qt6-base)
}

# qtbase for x86_64 MinGW, against the host's Qt tools (moc, rcc, uic).
# Only what the window uses is built.
build_qt() {
    if [[ -f $prefix/.complete ]]; then
        echo "Qt for MinGW: reusing $prefix"
        return
    fi
    need_packages dpkg-dev qt6-base-dev qt6-base-dev-tools g++-mingw-w64-x86-64-posix \
        gcc-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 cmake ninja-build
    local src
    src=$(find "$cache/src" -maxdepth 1 -type d -name 'qt6-base-*' 2>/dev/null | head -n1 || true)
    if [[ -z $src ]]; then
        fetch_qt_source
        src=$(find "$cache/src" -maxdepth 1 -type d -name 'qt6-base-*' | head -n1)
    fi
    local build=$cache/build
    rm -rf "$build" "$prefix"
    mkdir -p "$build"
    local t
    t=$(now)
    (cd "$build" && "$src/configure" \
        -prefix "$prefix" -release -opensource -confirm-license \
        -xplatform win32-g++ -device-option CROSS_COMPILE=x86_64-w64-mingw32- \
        -qt-host-path /usr \
        -nomake examples -nomake tests -nomake benchmarks \
        -qt-zlib -qt-libpng -qt-libjpeg -qt-freetype -qt-harfbuzz -qt-pcre -qt-doubleconversion \
        -no-opengl -no-dbus -no-icu -no-glib -no-feature-vulkan -no-feature-tabletevent \
        -no-feature-sql -no-feature-network -no-feature-printsupport -no-feature-xml \
        -no-feature-concurrent -no-feature-testlib \
        -- -G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
        -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake)
    echo "Qt configure: $(elapsed "$t")"
    t=$(now)
    cmake --build "$build" --parallel "$jobs"
    echo "Qt build: $(elapsed "$t")"
    t=$(now)
    cmake --install "$build"
    echo "Qt install: $(elapsed "$t")"
    echo "Qt build tree: $(du -sh "$build" | cut -f1), prefix: $(du -sh "$prefix" | cut -f1)"
    touch "$prefix/.complete"
}

build_qt
if ((qt_only)); then
    exit 0
fi
