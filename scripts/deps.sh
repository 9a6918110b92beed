#!/usr/bin/env bash
# Installs the Debian packages this project needs, only those that are missing.
# Usage: scripts/deps.sh run|test|package|fuzz|bench|windows
set -euo pipefail

# libngspice0-dev builds the simulation helper, libngspice0 runs it.
common=(cmake g++ make libqt6svg6 qt6-base-dev qt6-svg-dev fonts-wqy-microhei qt6-translations-l10n
    libngspice0-dev libngspice0)
run=(xvfb xauth)
# Building the Debian package: cpack's dpkg-shlibdeps (and the file command
# it runs), help2man for osccalc's manual page, lintian to check the result.
package=(dpkg-dev file help2man lintian man-db)
# The packaging tests: the desktop validators, dpkg-shlibdeps for cpack,
# the cross resource compiler (it borrows the host preprocessor); clang and
# its runtime for the fuzz targets; the ngspice program, which sim_bench
# compares the helper with. The Windows build: the MinGW-w64 cross
# compiler, GoogleTest's sources to build for it, and Wine (64-bit only) to
# run its tests.
test=(clang-format libgtest-dev libgmock-dev xvfb xauth locales
    desktop-file-utils appstream binutils-mingw-w64-x86-64 cpp
    clang libclang-rt-14-dev libbenchmark-dev ngspice "${package[@]}"
    g++-mingw-w64-x86-64-posix googletest wine wine64)
# What scripts/fuzz.sh needs on its own: clang with the libFuzzer runtime, no Qt.
fuzz=(cmake make clang libclang-rt-14-dev)
# scripts/bench.sh: Google Benchmark, valgrind for instruction counts, the
# ngspice program that sim_bench compares with.
bench=(libbenchmark-dev valgrind ngspice)
# scripts/windows.sh: Debian's Qt sources and host tools to cross-build Qt,
# the MinGW-w64 compilers, NSIS for the installer, osslsigncode and openssl
# for signing; for its test Wine, Xvfb and the tools that drive and
# photograph the window, and the locale data for its Chinese run; the
# autotools, bison and flex to build ngspice from Debian's source (it comes
# without a configure script).
windows=(dpkg-dev qt6-base-dev qt6-base-dev-tools g++-mingw-w64-x86-64-posix
    gcc-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 cmake ninja-build nsis osslsigncode
    openssl wine wine64 fonts-wine xvfb xauth xdotool imagemagick fonts-wqy-microhei unzip locales
    autoconf automake libtool bison flex make)

case "${1:-test}" in
run) wanted=("${common[@]}" "${run[@]}") ;;
test) wanted=("${common[@]}" "${test[@]}") ;;
package) wanted=("${common[@]}" "${package[@]}") ;;
fuzz) wanted=("${fuzz[@]}") ;;
bench) wanted=("${common[@]}" "${bench[@]}") ;;
windows) wanted=("${common[@]}" "${windows[@]}") ;;
*) echo "usage: $0 run|test|package|fuzz|bench|windows" >&2; exit 2 ;;
esac

missing=()
for pkg in "${wanted[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$pkg")
    fi
done

if ((${#missing[@]})); then
    echo "Installing: ${missing[*]}"
    sudo=()
    if [[ $(id -u) -ne 0 ]]; then sudo=(sudo); fi
    "${sudo[@]}" apt-get update -qq
    DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# The locale test needs a comma-decimal locale.
if [[ ${1:-test} == test ]] && ! locale -a 2>/dev/null | grep -qi '^de_DE\.utf-\?8$'; then
    sudo=()
    if [[ $(id -u) -ne 0 ]]; then sudo=(sudo); fi
    "${sudo[@]}" localedef -i de_DE -f UTF-8 de_DE.UTF-8
fi
