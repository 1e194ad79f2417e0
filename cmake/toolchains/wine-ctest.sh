#!/bin/sh
# Runs CTest on a build made with one of the MinGW-w64 toolchains of this
# folder, under Wine and, when there is no X display, under Xvfb:
#
#   cmake/toolchains/wine-ctest.sh <build dir> [ctest arguments...]
#
# One Wine session is kept up for the whole run. Starting it is the slow part
# of running a Windows program under Wine (several seconds), and the helper
# processes a fresh session starts would otherwise inherit the output pipe of
# the first test program, so that CTest waited for them.
set -e
here=$(cd "$(dirname "$0")" && pwd)
build=${1:?usage: wine-ctest.sh <build dir> [ctest arguments...]}
shift

if [ -z "${DISPLAY:-}" ] && [ -z "${NORVIK_WINE_CTEST_IN_XVFB:-}" ] && command -v xvfb-run >/dev/null 2>&1; then
    NORVIK_WINE_CTEST_IN_XVFB=1 exec xvfb-run -a -s "-screen 0 1280x1024x24" "$0" "$build" "$@"
fi

. "$here/wine-prefix.sh"
# The prefix must exist before the session's wineserver starts in it.
norvik_ensure_wine_prefix
wineserver -p
"$here/wine-run.sh" --win64 wineboot >/dev/null 2>&1 </dev/null || true
status=0
ctest --test-dir "$build" "$@" || status=$?
wineserver -k || true
exit $status
