#!/usr/bin/env bash
# Builds the Windows program with Debian's MinGW-w64 cross compilers and runs
# the Windows tests under Wine:
#   - preset mingw-x64: the whole project for 64-bit Windows; its test suite
#     (the core, the simulated platform and the Win32 platform, with a smoke
#     run of its Norvik.exe) runs under Wine and Xvfb;
#   - preset mingw-i686: the 32-bit release Norvik.exe, statically linked;
#     the smoke run is repeated on it when Wine can run 32-bit programs.
# Needs: mingw-w64, wine, wine64 (and wine32:i386 for the 32-bit smoke run),
# xvfb, xauth, and the zh_CN.UTF-8 locale (generated here when missing and
# allowed).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
cd "$root"
jobs=${NORVIK_JOBS:-2}

for tool in x86_64-w64-mingw32-g++-posix i686-w64-mingw32-g++-posix wine wineserver xvfb-run; do
    if ! command -v "$tool" >/dev/null 2>&1; then
        echo "test-windows: $tool is missing (apt-get install mingw-w64 wine wine64 xvfb xauth)" >&2
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

echo "-- 64-bit build"
cmake --preset mingw-x64 >/dev/null
cmake --build --preset mingw-x64 -j "$jobs"
echo "-- 32-bit Norvik.exe"
cmake --preset mingw-i686 >/dev/null
cmake --build --preset mingw-i686 -j "$jobs"

echo "-- tests under Wine"
"$here/wine-ctest.sh" build/mingw-x64 -j "$jobs" --output-on-failure

exe32="$root/build/mingw-i686/apps/norvik/Norvik.exe"
if [ -x /usr/lib/wine/wine ] || command -v wine32 >/dev/null 2>&1; then
    echo "-- smoke run of the 32-bit Norvik.exe"
    NORVIK_SMOKE_EXE="Z:$(printf '%s' "$exe32" | tr '/' '\\')" \
        "$here/wine-ctest.sh" build/mingw-x64 -R NorvikSmoke --output-on-failure
else
    echo "-- no 32-bit Wine (wine32:i386): the smoke run of the 32-bit Norvik.exe is left out"
fi
