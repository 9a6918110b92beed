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

version=$(sed -nE '/^project\(/,/\)/s/^[[:space:]]*VERSION[[:space:]]+([0-9.]+).*/\1/p' CMakeLists.txt)
name=oscillator-calculator-$version-win64
host_build=$root/build-app
win_build=$root/build-win64
deploy=$win_build/$name
zip=$win_build/$name.zip
mingw_strip=x86_64-w64-mingw32-strip
# Where Debian's MinGW-w64 keeps its run-time DLLs (libstdc++, libgcc, winpthreads).
mingw_dll_dirs=("$(dirname "$(x86_64-w64-mingw32-g++-posix -print-libgcc-file-name)")"
    /usr/x86_64-w64-mingw32/lib)

# The DLLs a PE file imports, by name.
imports() {
    x86_64-w64-mingw32-objdump -p "$1" | sed -nE 's/^[[:space:]]*DLL Name: (.*)$/\1/p'
}

# Copies into the deployed folder every DLL the given files need that comes
# from Qt or MinGW (Windows' own DLLs are left out), following what those
# DLLs need in turn.
copy_dependencies() {
    local queue=("$@") file dll dir found
    while ((${#queue[@]})); do
        file=${queue[0]}
        queue=("${queue[@]:1}")
        for dll in $(imports "$file"); do
            [[ -e $deploy/$dll ]] && continue
            found=
            for dir in "$prefix/bin" "${mingw_dll_dirs[@]}"; do
                if [[ -f $dir/$dll ]]; then
                    found=$dir/$dll
                    break
                fi
            done
            [[ -n $found ]] || continue
            cp "$found" "$deploy/"
            queue+=("$deploy/$dll")
        done
    done
}

build_app() {
    local t commit_time
    t=$(now)
    # Qt's resource compiler writes each compiled-in file's modification time
    # into the program, and a checkout's file times are those of the
    # checkout. Given SOURCE_DATE_EPOCH it writes that instead: the last
    # commit's time, unless the caller has set one.
    if [[ -z ${SOURCE_DATE_EPOCH:-} ]] &&
        commit_time=$(git -C "$root" log -1 --format=%ct 2>/dev/null); then
        export SOURCE_DATE_EPOCH=$commit_time
    fi
    # The PNG renderings of the pictures come from the host's Qt SVG.
    cmake --preset app >/dev/null
    cmake --build --preset app --target svgpng -j"$jobs"
    cmake -S "$root" -B "$win_build" -G Ninja \
        -DCMAKE_TOOLCHAIN_FILE="$prefix/lib/cmake/Qt6/qt.toolchain.cmake" \
        -DQT_CHAINLOAD_TOOLCHAIN_FILE="$toolchain" \
        -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
        -DCMAKE_BUILD_TYPE=Release -DOSC_BUILD_TESTS=OFF >/dev/null
    cmake --build "$win_build" -j"$jobs"
    echo "Program build: $(elapsed "$t")"
}

deploy_app() {
    rm -rf "$deploy" "$zip"
    mkdir -p "$deploy"/{platforms,styles,imageformats,translations,html}
    cp "$win_build/bin/oscillator-calculator.exe" "$win_build/bin/osccalc.exe" "$deploy/"
    # Plugins the window loads: the platform, the native style, and GIF for
    # the banner (PNG is built into Qt Gui; the pages' pictures are PNGs here).
    cp "$prefix/plugins/platforms/qwindows.dll" "$deploy/platforms/"
    cp "$prefix/plugins/styles/qwindowsvistastyle.dll" "$deploy/styles/"
    cp "$prefix/plugins/imageformats/qgif.dll" "$deploy/imageformats/"
    copy_dependencies "$deploy"/*.exe "$deploy"/*/*.dll
    # Debian's MinGW run-time DLLs and Qt carry symbols users have no use for.
    find "$deploy" -name '*.exe' -o -name '*.dll' | xargs "$mingw_strip" --strip-unneeded
    # The translations are the same files on every platform.
    cp /usr/share/qt6/translations/qtbase_zh_CN.qm "$deploy/translations/"
    cp "$root"/html/*.htm "$root"/html/*.css "$root"/html/*.svg "$deploy/html/"
    "$host_build/bin/svgpng" "$deploy/html" "$root"/html/*.svg
    if [[ -f $root/LICENSE ]]; then
        cp "$root/LICENSE" "$deploy/LICENSE.txt"
    fi
    # Qt is shipped under the LGPL 3, whose text must go with it (it builds
    # on the GPL 3's).
    local licences
    licences=$(find "$cache/src" -maxdepth 3 -type d -path '*/qt6-base-*/LICENSES' | head -n1)
    mkdir -p "$deploy/licenses"
    cp "$licences/LGPL-3.0-only.txt" "$deploy/licenses/Qt-LGPL-3.0-only.txt"
    cp "$licences/GPL-3.0-only.txt" "$deploy/licenses/Qt-GPL-3.0-only.txt"
    # Notepad reads UTF-8 reliably with a byte-order mark and CRLF line ends.
    sed "s/@VERSION@/$version/g" "$root/packaging/windows-readme.txt" |
        sed 's/$/\r/' | { printf '\xef\xbb\xbf'; cat; } >"$deploy/README.txt"
    (cd "$win_build" && zip -qr -9 "$zip" "$name")
    echo "Deployed folder: $(du -sh "$deploy" | cut -f1), zip: $(du -h "$zip" | cut -f1) ($zip)"
}

# Under Wine on Xvfb, from a folder whose path has spaces and Chinese
# characters, with a private prefix: the window appears with its title and
# first page, the 555 item computes 10, 10, 1 without a message box, and the
# program exits cleanly when its window is closed. Screenshots land in
# $win_build/wine-*.png.
test_app() {
    need_packages wine64 wine fonts-wine xvfb xauth xdotool imagemagick fonts-wqy-microhei unzip
    local t
    t=$(now)
    # Globals, not locals: the exit trap runs after this function returns.
    tmp=$(mktemp -d)
    local dir="$tmp/测试 文件夹/振荡 电路"
    mkdir -p "$dir"
    unzip -q "$zip" -d "$dir"
    local exe="$dir/$name/oscillator-calculator.exe"
    export WINEPREFIX=$tmp/wineprefix WINEARCH=win64 WINEDEBUG=-all
    # No Mono or Gecko installers: the program needs neither.
    export WINEDLLOVERRIDES="mscoree,mshtml="
    local xlog=$tmp/xvfb.log display_file=$tmp/display
    Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$display_file" 2>"$xlog" &
    xvfb_pid=$!
    app_pid=
    cleanup_test() {
        [[ -n $app_pid ]] && kill "$app_pid" 2>/dev/null
        wineserver -k 2>/dev/null || true
        kill "$xvfb_pid" 2>/dev/null || true
        rm -rf "$tmp"
    }
    trap cleanup_test EXIT
    local i
    for i in $(seq 50); do
        [[ -s $display_file ]] && break
        sleep 0.2
    done
    export DISPLAY=:$(cat "$display_file")
    wineboot -i >/dev/null 2>&1
    wineserver -w
    # Windows has Tahoma (Qt's default dialog font) and a font with the Chinese
    # glyphs. Debian's Wine does not find its own Tahoma, and Qt then falls
    # back to the first family it knows (a maths font here) whose line height
    # puts a box's text above the box, so the prefix gets both fonts.
    cp /usr/share/wine/fonts/tahoma.ttf /usr/share/wine/fonts/tahomabd.ttf \
        /usr/share/fonts/truetype/wqy/wqy-microhei.ttc "$WINEPREFIX/drive_c/windows/Fonts/"
    # Wine does not hand QT_* variables from the Unix environment to the
    # program; the prefix's user environment does. The page log goes to
    # stderr rather than the debugger.
    wine reg add 'HKCU\Environment' /v QT_LOGGING_RULES /d 'osc.page.debug=true' /f >/dev/null 2>&1
    wine reg add 'HKCU\Environment' /v QT_FORCE_STDERR_LOGGING /d 1 /f >/dev/null 2>&1
    wineserver -w
    echo "Wine prefix ready: $(elapsed "$t")"

    fail() {
        echo "FAIL: $*" >&2
        import -window root "$win_build/wine-failure.png" 2>/dev/null || true
        echo "--- program log ---" >&2
        cat "$tmp/app.log" >&2 || true
        exit 1
    }
    # Waits up to $2 seconds for the program's log to match $1.
    wait_log() {
        local n
        for n in $(seq $(($2 * 5))); do
            grep -q -- "$1" "$tmp/app.log" 2>/dev/null && return 0
            sleep 0.2
        done
        return 1
    }
    # The visible top-level windows titled exactly like the program; a
    # message box carries the same title.
    titled_windows() {
        xdotool search --onlyvisible --name '^振荡电路计算器$' 2>/dev/null | wc -l
    }

    t=$(now)
    wine "$exe" >"$tmp/app.log" 2>&1 &
    app_pid=$!
    local window=
    for i in $(seq 300); do
        window=$(xdotool search --onlyvisible --name '^振荡电路计算器$' 2>/dev/null | head -n1 || true)
        [[ -n $window ]] && break
        kill -0 "$app_pid" 2>/dev/null || fail "the program ended before showing its window"
        sleep 0.2
    done
    [[ -n $window ]] || fail "no window titled 振荡电路计算器 within 60 s"
    echo "Window shown after $(elapsed "$t")"
    wait_log "kiv1.htm.*page" 20 || fail "the first page was not shown"
    grep -q 'showing.* notice' "$tmp/app.log" && fail "the view shows its missing-page notice"
    sleep 2
    import -window root "$win_build/wine-startup.png"

    xdotool windowfocus --sync "$window" 2>/dev/null || xdotool windowfocus "$window"
    sleep 0.5
    # The menu bar by keyboard: Alt, open 选择电路, its fourth item.
    xdotool key alt
    sleep 0.5
    xdotool key Down
    sleep 0.5
    xdotool key Down Down Down Return
    wait_log "kiv4.htm.*page" 20 || fail "choosing the 555 item did not show its page"
    sleep 1
    xdotool type --delay 100 10
    xdotool key Tab
    xdotool type --delay 100 10
    xdotool key Tab
    xdotool type --delay 100 1
    xdotool key Return
    sleep 3
    (($(titled_windows) == 1)) || fail "a message box appeared after 10, 10, 1"
    import -window root "$win_build/wine-555.png"
    # The typed numbers are drawn: near-black pixels in the boxes' column
    # (x 74-143 of the window, y 40-150: below the menu bar, above the
    # result lines, right of the captions).
    local X Y WIDTH HEIGHT SCREEN WINDOW ink
    eval "$(xdotool getwindowgeometry --shell "$window")"
    ink=$(convert "$win_build/wine-555.png" -crop "70x110+$((X + 74))+$((Y + 40))" +repage \
        -channel RGB -separate -evaluate-sequence max -threshold 30% -negate \
        -format '%[fx:round(mean*w*h)]' info:)
    echo "Ink in the input boxes: $ink pixels"
    ((ink >= 40)) || fail "the typed numbers are not drawn in the input boxes ($ink dark pixels)"

    xdotool key alt+F4
    local status=
    for i in $(seq 150); do
        if ! kill -0 "$app_pid" 2>/dev/null; then
            wait "$app_pid" && status=0 || status=$?
            break
        fi
        sleep 0.2
    done
    app_pid=
    [[ -n $status ]] || fail "the program did not exit within 30 s of closing its window"
    ((status == 0)) || fail "the program exited with status $status"
    echo "Wine test passed: $(elapsed "$t"); screenshots: $win_build/wine-startup.png, $win_build/wine-555.png"
}

build_qt
if ((qt_only)); then
    exit 0
fi
need_packages zip
build_app
deploy_app
if ((run_test)); then
    test_app
fi
