#!/usr/bin/env bash
# The window program for 64-bit Windows, cross-built here with MinGW-w64:
#  1. Qt (qtbase only) for MinGW, built once from Debian's own qt6-base source
#     package into a cache folder outside the checkout and reused afterwards;
#  2. the window program and osccalc.exe against it;
#  3. with cpack, oscillator-calculator-<version>-win64.zip and the installer
#     oscillator-calculator-<version>-win64-setup.exe, and beside them the
#     Qt source they were built from, oscillator-calculator-<version>-win64-qt-source.tar.
# With --test it then runs the program under Wine on Xvfb from the zip, installs
# it silently, runs it again, uninstalls it and looks for leftovers, and checks
# signing with a throw-away certificate. --if-cached skips everything, with
# one line, when Qt has not been built yet (the test command uses it).
# Signing: with OSC_SIGN_CERT and OSC_SIGN_KEY (PEM files; OSC_SIGN_PASS for
# the key's passphrase) both programs and the installer are signed.
# ngspice's shared library, which the simulation helper osc-spice.exe loads,
# is built the same way from Debian's ngspice source package, cached beside
# Qt, and its source archive goes beside the packages too.
# Usage: scripts/windows.sh [--test] [--qt-only] [--ngspice-only] [--if-cached]
# OSC_QT_MINGW_DIR and OSC_NGSPICE_MINGW_DIR override the cache folders
# (default ${XDG_CACHE_HOME:-~/.cache}/oscillator-calculator/qt6-mingw and
# .../ngspice-mingw).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

run_test=0
qt_only=0
ngspice_only=0
if_cached=0
for arg in "$@"; do
    case $arg in
    --test) run_test=1 ;;
    --qt-only) qt_only=1 ;;
    --ngspice-only) ngspice_only=1 ;;
    --if-cached) if_cached=1 ;;
    *) echo "usage: $0 [--test] [--qt-only] [--ngspice-only] [--if-cached]" >&2; exit 2 ;;
    esac
done

cache=${OSC_QT_MINGW_DIR:-${XDG_CACHE_HOME:-$HOME/.cache}/oscillator-calculator/qt6-mingw}
prefix=$cache/prefix
ng_cache=${OSC_NGSPICE_MINGW_DIR:-${XDG_CACHE_HOME:-$HOME/.cache}/oscillator-calculator/ngspice-mingw}
ng_prefix=$ng_cache/prefix
toolchain=$root/cmake/mingw-w64-x86_64.cmake
jobs=${OSC_JOBS:-2}

if ((if_cached && !ngspice_only)) && [[ ! -f $prefix/.complete || ! -f $ng_prefix/.complete ]]; then
    echo "Skipped the Windows window program: no Qt ($cache) or ngspice ($ng_cache)" \
        "for MinGW yet (scripts/windows.sh builds them once, 17-68 min)"
    exit 0
fi
scripts/deps.sh windows

now() { date +%s; }
elapsed() { echo "$(($(now) - $1)) s"; }

# Debian's source package $2 unpacked into $1/src. The source entries are
# the machine's own binary entries with their type changed, in a private apt
# configuration under $1/apt, so the system's lists stay as they are.
fetch_source() {
    local dir=$1 package=$2
    local apt=$dir/apt
    mkdir -p "$apt/sources.list.d" "$apt/lists/partial" "$apt/cache/archives/partial" "$dir/src"
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
    (cd "$dir/src" && apt-get "${opts[@]}" source "$package")
}

# qtbase for x86_64 MinGW, against the host's Qt tools (moc, rcc, uic).
# Only what the window uses is built: Core, Gui, Widgets and Concurrent (the
# scope window simulates off the GUI thread).
build_qt() {
    if [[ -f $prefix/.complete && ! -d $prefix/lib/cmake/Qt6Concurrent ]]; then
        echo "Qt for MinGW: the cached build has no Qt Concurrent; building it again"
        rm -f "$prefix/.complete"
    fi
    if [[ -f $prefix/.complete ]]; then
        echo "Qt for MinGW: reusing $prefix"
        return
    fi
    local src
    src=$(find "$cache/src" -maxdepth 1 -type d -name 'qt6-base-*' 2>/dev/null | head -n1 || true)
    if [[ -z $src ]]; then
        fetch_source "$cache" qt6-base
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
        -no-feature-testlib \
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

# libngspice for x86_64 MinGW: the shared library and its header, nothing
# else. The pages' netlists use no XSPICE code models and no OSDI devices, so
# neither is built (and no spinit or code-model files are needed); no OpenMP,
# so no libgomp beside it; no X11, readline or FFTW. libgcc is linked in.
build_ngspice() {
    if [[ -f $ng_prefix/.complete ]]; then
        echo "ngspice for MinGW: reusing $ng_prefix"
        return
    fi
    local src
    src=$(find "$ng_cache/src" -maxdepth 1 -type d -name 'ngspice-*' 2>/dev/null | head -n1 || true)
    if [[ -z $src ]]; then
        fetch_source "$ng_cache" ngspice
        src=$(find "$ng_cache/src" -maxdepth 1 -type d -name 'ngspice-*' | head -n1)
    fi
    local build=$ng_cache/build
    rm -rf "$build" "$ng_prefix"
    mkdir -p "$build"
    local t
    t=$(now)
    # Debian's source has no configure script; autogen.sh makes it.
    [[ -x $src/configure ]] || (cd "$src" && ./autogen.sh)
    # Cross-configuring cannot run the malloc(0) probe (MinGW's malloc is
    # fine), and the "header" /proc/meminfo it finds is the build machine's.
    # libtool would refuse a DLL whose libstdc++ it cannot check, and build
    # the static library only.
    (cd "$build" && ac_cv_func_malloc_0_nonnull=yes ac_cv_func_realloc_0_nonnull=yes \
        ac_cv_header__proc_meminfo=no lt_cv_deplibs_check_method=pass_all \
        "$src/configure" --build="$("$src/config.guess")" --host=x86_64-w64-mingw32 \
        --prefix="$ng_prefix" CC=x86_64-w64-mingw32-gcc-posix CXX=x86_64-w64-mingw32-g++-posix \
        LDFLAGS=-static-libgcc --disable-static \
        --with-ngshared --disable-debug --disable-xspice --disable-osdi --disable-cider \
        --disable-openmp --without-x --with-readline=no --with-editline=no --with-fftw3=no \
        >"$build/configure.log")
    # The C++ runtime (for the HICUM model) linked in, with the threads it
    # uses, so that the DLL needs Windows' own DLLs only.
    find "$build" -name Makefile -exec sed -i 's/-lstdc++/-l:libstdc++.a -l:libwinpthread.a/g' {} +
    echo "ngspice configure: $(elapsed "$t")"
    t=$(now)
    make -C "$build" -j"$jobs" >"$build/make.log"
    echo "ngspice build: $(elapsed "$t")"
    make -C "$build" install >/dev/null
    echo "ngspice prefix: $(du -sh "$ng_prefix" | cut -f1); libngspice-0.dll imports" \
        "$(x86_64-w64-mingw32-objdump -p "$ng_prefix/bin/libngspice-0.dll" |
            sed -n 's/.*DLL Name: //p' | tr '\n' ' ')"
    touch "$ng_prefix/.complete"
}

version=$(sed -nE '/^project\(/,/\)/s/^[[:space:]]*VERSION[[:space:]]+([0-9.]+).*/\1/p' CMakeLists.txt)
name=oscillator-calculator-$version-win64
host_build=$root/build-app
win_build=$root/build-win64
zip=$win_build/$name.zip
setup=$win_build/$name-setup.exe
qt_source=$win_build/$name-qt-source.tar
ngspice_source=$win_build/$name-ngspice-source.tar

build_app() {
    local t
    t=$(now)
    # The PNG renderings of the pictures come from the host's Qt SVG.
    cmake --preset app >/dev/null
    # The Linux osccalc and its helper, which osccalc.exe's simulation is compared with.
    cmake --build --preset app --target svgpng osccalc osc-spice -j"$jobs"
    configure_app "$win_build"
    cmake --build "$win_build" -j"$jobs"
    echo "Program build: $(elapsed "$t")"
}

# The cross build's configuration in the folder $1.
configure_app() {
    local qt_src
    qt_src=$(find "$cache/src" -maxdepth 1 -type d -name 'qt6-base-*' | head -n1)
    local ng_src
    ng_src=$(find "$ng_cache/src" -maxdepth 1 -type d -name 'ngspice-*' | head -n1)
    cmake -S "$root" -B "$1" -G Ninja \
        -DCMAKE_TOOLCHAIN_FILE="$prefix/lib/cmake/Qt6/qt.toolchain.cmake" \
        -DQT_CHAINLOAD_TOOLCHAIN_FILE="$toolchain" \
        -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
        -DCMAKE_BUILD_TYPE=Release -DOSC_BUILD_TESTS=OFF \
        -DOSC_HOST_SVGPNG="$host_build/bin/svgpng" -DOSC_QT_SOURCE_DIR="$qt_src" \
        -DOSC_NGSPICE_PREFIX="$ng_prefix" -DOSC_NGSPICE_SOURCE_DIR="$ng_src" >/dev/null
}

# The zip and the installer from the build's install rules; the programs are
# signed by those rules when OSC_SIGN_CERT is set, the installer here.
package_app() {
    local t
    t=$(now)
    rm -f "$zip" "$setup"
    (cd "$win_build" && cpack -G "ZIP;NSIS" >/dev/null)
    if [[ -n ${OSC_SIGN_CERT:-} ]]; then
        packaging/sign.sh "$setup"
    fi
    # The Qt and ngspice sources the DLLs were built from, as Debian publishes them.
    (cd "$cache/src" && tar --sort=name --owner=0 --group=0 --numeric-owner \
        --mtime=@0 -cf "$qt_source" qt6-base_*)
    (cd "$ng_cache/src" && tar --sort=name --owner=0 --group=0 --numeric-owner \
        --mtime=@0 -cf "$ngspice_source" ngspice_*)
    echo "Packages ($(elapsed "$t")): zip $(stat -c %s "$zip") bytes, installer" \
        "$(stat -c %s "$setup") bytes, Qt source $(du -h "$qt_source" | cut -f1)," \
        "ngspice source $(du -h "$ngspice_source" | cut -f1), in $win_build"
}

# A private Wine prefix and Xvfb display, both gone at exit. HOME is private
# too, so nothing lands in the user's home (menu entries, ~/.wine).
start_wine() {
    local t
    t=$(now)
    # Globals, not locals: the exit trap runs after this function returns.
    tmp=$(mktemp -d)
    export HOME=$tmp/home WINEPREFIX=$tmp/wineprefix WINEARCH=win64 WINEDEBUG=-all LANG=C.UTF-8
    mkdir -p "$HOME"
    # No Mono or Gecko installers, no menu entries on the Linux desktop.
    export WINEDLLOVERRIDES="mscoree,mshtml,winemenubuilder.exe="
    unset XDG_CONFIG_HOME XDG_DATA_HOME XDG_CACHE_HOME
    local display_file=$tmp/display
    Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$display_file" 2>"$tmp/xvfb.log" &
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
}

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

# The visible top-level windows titled exactly like the program; a message
# box carries the same title.
titled_windows() {
    xdotool search --onlyvisible --name '^振荡电路计算器$' 2>/dev/null | wc -l
}

# Runs the window program $1: the window appears with its title and first
# page, the 555 item computes 10, 10, 1 without a message box, and the program
# exits cleanly when its window is closed. Screenshots: $win_build/wine-$2-*.png.
smoke_test() {
    local exe=$1 label=$2 t i window=
    t=$(now)
    wine "$exe" >"$tmp/app.log" 2>&1 &
    app_pid=$!
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
    import -window root "$win_build/wine-$label-startup.png"

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
    import -window root "$win_build/wine-$label-555.png"
    # The typed numbers are drawn: dark pixels in the boxes' column (x 74-143
    # of the window, y 40-150: below the menu bar, above the result lines,
    # right of the captions). Dark is below half brightness: the Chinese
    # font's thin strokes are grey, the boxes' borders lighter still.
    local X Y WIDTH HEIGHT SCREEN WINDOW ink status=
    eval "$(xdotool getwindowgeometry --shell "$window")"
    ink=$(convert "$win_build/wine-$label-555.png" -crop "70x110+$((X + 74))+$((Y + 40))" +repage \
        -channel RGB -separate -evaluate-sequence max -threshold 50% -negate \
        -format '%[fx:round(mean*w*h)]' info:)
    echo "Ink in the input boxes: $ink pixels"
    ((ink >= 40)) || fail "the typed numbers are not drawn in the input boxes ($ink dark pixels)"
    scope_test "$window" "$label"

    xdotool windowfocus --sync "$window" 2>/dev/null || xdotool windowfocus "$window"
    sleep 0.5
    xdotool key alt+F4
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
    helpers_left && fail "an osc-spice.exe process is left after the program exited"
    echo "Smoke test ($label) passed: $(elapsed "$t")"
}

# Whether a simulation helper runs in this test's prefix (Wine's processes
# carry the Windows program's path in their command line; other builds on the
# machine may run theirs in other prefixes).
helpers_left() {
    local pid
    for pid in $(pgrep -f 'osc-spice\.exe'); do
        grep -qzx "WINEPREFIX=$WINEPREFIX" "/proc/$pid/environ" 2>/dev/null && return 0
    done
    return 1
}

# Pixels of channel 1's colour (yellow) in the middle of the scope window's
# plot area, on the screenshot $1 of the window at $2 (x y width height): the
# screen is the left three fifths of the window between the run row and the
# status line; the channels' scales under it are left out.
scope_ink() {
    local x=$(($2 + $4 * 9 / 100)) y=$(($3 + 70 + ($5 - 150) * 20 / 100))
    local w=$(($4 * 42 / 100)) h=$((($5 - 150) * 55 / 100))
    convert "$1" -crop "${w}x${h}+${x}+${y}" +repage -fx 'r > 0.8 && g > 0.7 && b < 0.45' \
        -format '%[fx:round(mean*w*h)]' info:
}

# The scope window (工具 → 仿真波形…, Ctrl+Shift+O) for the main window $1's
# circuit and boxes simulates it at once. Its start-up view (显示: 起振过程)
# draws nothing but the simulated trace, so ink of channel 1's colour in
# the plot area means the helper ran and its waveform arrived. Then a run
# started by a new supply voltage and cancelled while the helper runs leaves
# no helper process. Screenshot: $win_build/wine-$2-scope.png.
scope_test() {
    local main=$1 label=$2 t i scope= ink=0 shot=$win_build/wine-$2-scope.png
    t=$(now)
    xdotool windowfocus --sync "$main" 2>/dev/null || xdotool windowfocus "$main"
    sleep 0.5
    xdotool key ctrl+shift+o
    for i in $(seq 100); do
        # Qt adds the program's name to the title.
        scope=$(xdotool search --onlyvisible --name '^仿真波形' 2>/dev/null | head -n1 || true)
        [[ -n $scope ]] && break
        sleep 0.2
    done
    [[ -n $scope ]] || fail "no window titled 仿真波形 within 20 s of Ctrl+Shift+O"
    xdotool windowfocus --sync "$scope" 2>/dev/null || xdotool windowfocus "$scope"
    sleep 0.5
    xdotool key alt+s
    sleep 0.3
    xdotool key Down
    local X Y WIDTH HEIGHT SCREEN WINDOW
    for i in $(seq 60); do
        sleep 0.5
        import -window root "$shot"
        eval "$(xdotool getwindowgeometry --shell "$scope")"
        ink=$(scope_ink "$shot" "$X" "$Y" "$WIDTH" "$HEIGHT")
        ((ink >= 300)) && break
    done
    echo "Scope window: $ink pixels of the simulated trace in the plot area after $(elapsed "$t")"
    ((ink >= 300)) || fail "the scope window drew no simulated trace within 30 s ($ink pixels)"

    # 电源电压 up by one step starts a new run; 取消仿真 as soon as its helper runs.
    xdotool key alt+v
    sleep 0.3
    xdotool key Up
    for i in $(seq 100); do
        helpers_left && break
        sleep 0.05
    done
    helpers_left || fail "no osc-spice.exe process ran for the new supply voltage"
    xdotool key alt+c
    for i in $(seq 40); do
        helpers_left || break
        sleep 0.05
    done
    helpers_left && fail "an osc-spice.exe process is left 2 s after 取消仿真"
    echo "Scope window: the cancelled run left no osc-spice.exe process"
    xdotool key alt+F4
    sleep 0.5
}

# What the packages hold: no SVG (the Windows Qt cannot read it), CRLF text.
check_contents() {
    local listing
    listing=$(unzip -Z1 "$zip")
    grep -q '\.svg$' <<<"$listing" && fail "the zip holds SVG files"
    local file
    for file in osc-spice.exe libngspice-0.dll; do
        grep -qx "$name/$file" <<<"$listing" || fail "the zip lacks $file"
    done
    for file in README.txt LICENSE.txt THIRD-PARTY-NOTICES.txt licenses/Qt-LGPL-3.0-only.txt \
        licenses/ngspice-LGPL-2.0.txt; do
        grep -qx "$name/$file" <<<"$listing" || fail "the zip lacks $file"
        unzip -p "$zip" "$name/$file" | grep -q $'[^\r]$' && fail "$file has LF line ends"
    done
    grep -qiE 'libgomp|spinit|\.cm$' <<<"$listing" &&
        fail "the zip holds OpenMP's runtime or ngspice's init or code-model files"
    echo "Zip: $(wc -l <<<"$listing") entries, no SVG, CRLF text files, the simulator"
}

# From the zip, unpacked into a folder whose path has spaces and Chinese.
test_zip() {
    local dir="$tmp/测试 文件夹/振荡 电路"
    mkdir -p "$dir"
    unzip -q "$zip" -d "$dir"
    smoke_test "$dir/$name/oscillator-calculator.exe" zip
    # osccalc.exe there runs the helper beside it, as the Linux osccalc does.
    bash tests/osccalc_same_test.sh --simulate "$host_build/bin/osccalc" \
        "$dir/$name/osccalc.exe" wine || fail "osccalc.exe simulate differs from the Linux osccalc"
    helpers_left && fail "an osc-spice.exe process is left after osccalc.exe simulate"
    test_zh_cn "$dir/$name/oscillator-calculator.exe"
}

# A LOGFONTW of 9 pt at 96 DPI, regular, GB2312, for the ASCII face $1, in hex.
logfont_hex() {
    local hex=f4ffffff00000000000000000000000090010000 c i
    hex+=0000008600000000
    for ((i = 0; i < 32; i++)); do
        c=${1:i:1}
        if [[ -n $c ]]; then printf -v c '%02x00' "'$c"; else c=0000; fi
        hex+=$c
    done
    echo "$hex"
}

# The program $1 again under a Simplified Chinese Windows (Wine takes the
# user locale from LANG). Wine's Chinese settings name the logical font "MS
# Shell Dlg" as the message and menu font; Qt cannot resolve it and falls back
# to the first family it knows (a maths font here), in which no box shows its
# text. A Chinese Windows names a real font there (Microsoft YaHei UI), so the
# prefix names the Chinese font copied above. Screenshots: wine-zip-zh-CN-*.png.
test_zh_cn() {
    locale -a 2>/dev/null | grep -qix 'zh_CN\.utf-\?8' || localedef -i zh_CN -f UTF-8 zh_CN.UTF-8 ||
        fail "no zh_CN.UTF-8 locale to run the Chinese Windows under"
    local lang=$LANG
    wineserver -w
    export LANG=zh_CN.UTF-8
    # The first program under the new locale makes Wine redo its settings for it.
    wine reg query 'HKCU\Environment' >/dev/null 2>&1
    wineserver -w
    local font v
    font=$(logfont_hex "WenQuanYi Micro Hei")
    for v in MessageFont MenuFont StatusFont CaptionFont SmCaptionFont IconFont; do
        wine reg add 'HKCU\Control Panel\Desktop\WindowMetrics' /v "$v" /t REG_BINARY \
            /d "$font" /f >/dev/null 2>&1
    done
    wineserver -w
    smoke_test "$1" zip-zh-CN
    export LANG=$lang
    wineserver -w
}

# Silent install, the installed program, silent uninstall, and nothing of
# ours left in files, shortcuts or the registry.
test_installer() {
    local t drive=$WINEPREFIX/drive_c key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\oscillator-calculator'
    local dir="$drive/Program Files/振荡电路计算器"
    local menu="$drive/ProgramData/Microsoft/Windows/Start Menu/Programs/振荡电路计算器"
    t=$(now)
    wine "$setup" /S
    wineserver -w
    echo "Installed in $(elapsed "$t"): $(find "$dir" -type f | wc -l) files," \
        "$(du -sh "$dir" | cut -f1)"
    [[ -f $dir/oscillator-calculator.exe ]] || fail "the installer did not install the program"
    [[ -f $menu/振荡电路计算器.lnk ]] || fail "no Start-menu shortcut"
    wine reg query "$key" >"$tmp/uninstall-entry" 2>/dev/null || fail "no uninstall entry"
    tr -d '\r' <"$tmp/uninstall-entry" | grep -E 'Display|Publisher|EstimatedSize'
    grep -q 'EstimatedSize.*0x[1-9a-f]' "$tmp/uninstall-entry" || fail "the entry has no size"
    smoke_test "$dir/oscillator-calculator.exe" installed
    t=$(now)
    wine "$dir/Uninstall.exe" /S
    wineserver -w
    local left
    left=$(find "$drive" -path '*振荡电路计算器*' 2>/dev/null)
    [[ -z $left ]] || fail "left after uninstalling: $left"
    wine reg query "$key" >/dev/null 2>&1 && fail "the uninstall entry is left"
    grep -i "oscillator" "$WINEPREFIX"/*.reg && fail "registry keys of ours are left"
    echo "Uninstalled in $(elapsed "$t"): no file, shortcut or registry key left"
}

# The programs signed by the install rules and the installer by sign.sh,
# with a throw-away certificate, then verified.
test_signing() {
    local certs=$tmp/certs
    mkdir -p "$certs"
    openssl req -x509 -newkey rsa:2048 -nodes -days 1 -subj "/CN=oscillator-calculator test" \
        -keyout "$certs/key.pem" -out "$certs/cert.pem" 2>/dev/null
    OSC_SIGN_CERT=$certs/cert.pem OSC_SIGN_KEY=$certs/key.pem \
        cmake --install "$win_build" --prefix "$certs/installed" --strip >/dev/null
    cp "$setup" "$certs/setup.exe"
    OSC_SIGN_CERT=$certs/cert.pem OSC_SIGN_KEY=$certs/key.pem packaging/sign.sh "$certs/setup.exe"
    local file
    for file in "$certs"/installed/*.exe "$certs/setup.exe"; do
        osslsigncode verify -CAfile "$certs/cert.pem" -in "$file" >"$certs/verify.log" 2>&1 ||
            { cat "$certs/verify.log" >&2; fail "the signature of $(basename "$file") does not verify"; }
    done
    echo "Signing: both programs and the installer signed and verified"
}

# Built again from a copy of the sources with new file times, in other
# folders, the window program is the same bytes: no build time, folder or
# file time ends up in it.
test_reproducible() {
    local t copy=$tmp/source-again
    t=$(now)
    mkdir -p "$copy"
    git ls-files -z | xargs -0 cp --parents -t "$copy"
    (root=$copy && configure_app "$copy/build")
    cmake --build "$copy/build" --target oscillator-calculator -j"$jobs" >/dev/null
    cmp "$win_build/bin/oscillator-calculator.exe" "$copy/build/bin/oscillator-calculator.exe" ||
        fail "a second build of oscillator-calculator.exe differs"
    echo "Reproducible: a second build of oscillator-calculator.exe is the same bytes ($(elapsed "$t"))"
}

if ((ngspice_only)); then
    build_ngspice
    exit 0
fi
build_qt
if ((qt_only)); then
    exit 0
fi
build_ngspice
build_app
package_app
if ((run_test)); then
    start_wine
    check_contents
    test_zip
    test_installer
    test_signing
    test_reproducible
fi
