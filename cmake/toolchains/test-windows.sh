#!/usr/bin/env bash
# Builds the Windows program with Debian's MinGW-w64 cross compilers and runs
# the whole Windows test suite under Wine for both architectures:
#   - preset mingw-x64: the debug build for 64-bit Windows;
#   - preset mingw-i686: the release build for 32-bit Windows, the
#     architecture Norvik.exe ships as (statically linked).
# The 32-bit build's zip (Norvik.exe, norvikctl.exe, README-windows.txt,
# LICENSE.txt) is made and its programs run under Wine.
# Each suite holds the core, the simulated platform and the Win32 platform
# tests, with a smoke run of its own Norvik.exe, under Wine and Xvfb in the
# project's own Wine prefix (build/wine-prefix, created on first use).
# Needs: mingw-w64, wine, wine64, wine32:i386, xvfb, xauth, and the
# zh_CN.UTF-8 locale (generated here when missing and allowed). Where the
# kernel itself runs no 32-bit programs (some virtual machines), or 32-bit
# Wine could not be installed (its packages come from another
# architecture's indexes), the 32-bit suite is built and its run is left out
# with the reason printed.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
cd "$root"
jobs=${NORVIK_JOBS:-2}

for tool in x86_64-w64-mingw32-g++-posix i686-w64-mingw32-g++-posix wine wineserver xvfb-run; do
    if ! command -v "$tool" >/dev/null 2>&1; then
        echo "test-windows: $tool is missing (apt-get install mingw-w64 wine wine64 wine32:i386 xvfb xauth)" >&2
        exit 1
    fi
done
if ! locale -a 2>/dev/null | grep -qix 'zh_CN.utf8'; then
    if [ "$(id -u)" -eq 0 ] && command -v localedef >/dev/null 2>&1; then
        localedef -i zh_CN -f UTF-8 zh_CN.UTF-8
    else
        echo "test-windows: the zh_CN.UTF-8 locale is missing; tests of code page 936 will fail" >&2
    fi
fi

. "$here/wine-prefix.sh"
for preset in mingw-x64 mingw-i686; do
    echo "-- $preset: build"
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset" -j "$jobs"
    if [ "$preset" = mingw-i686 ] && ! norvik_kernel_runs_32bit; then
        echo "-- $preset: tests NOT run: this machine's kernel cannot execute 32-bit x86 programs"
        echo "   (a static i386 program fails with 'Exec format error'), so no 32-bit Wine can start here;"
        echo "   the suite is built and runs with: cmake/toolchains/wine-ctest.sh build/mingw-i686"
        continue
    fi
    if [ "$preset" = mingw-i686 ] && ! dpkg-query -W -f='${Status}' wine32:i386 2>/dev/null | grep -q "install ok installed"; then
        echo "-- $preset: tests NOT run: 32-bit Wine (wine32:i386) is not installed"
        echo "   (tools/install-deps tries; the mirror did not serve it); the suite is built"
        echo "   and runs with: cmake/toolchains/wine-ctest.sh build/mingw-i686"
        continue
    fi
    echo "-- $preset: tests under Wine"
    "$here/wine-ctest.sh" "build/$preset" -j "$jobs" --output-on-failure
    if [ "$preset" = mingw-i686 ]; then
        echo "-- $preset: the zip for Windows users, its programs under 32-bit Wine"
        "$here/test-windows-zip.sh" "build/$preset"
    fi
done
