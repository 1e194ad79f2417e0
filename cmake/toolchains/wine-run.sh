#!/bin/sh
# Runs a cross-built Windows program under Wine: quiet, and in a
# Simplified Chinese locale, so that the thread's ANSI code page is 936 as on
# the PCs the tool is made for (generate it once with
# `localedef -i zh_CN -f UTF-8 zh_CN.UTF-8` where it is missing). Programs
# that open windows need an X display: run the tests under Xvfb
# (`xvfb-run -a ctest ...`) on a machine without one.
#
#   wine-run.sh [--win64 | --win32] <program> [arguments...]
#
# --win64 starts the program with Wine's 64-bit loader, --win32 (and no
# option) with the `wine` launcher, which picks the loader itself.
#
#   NORVIK_WINE          the wine launcher (overrides the choice above)
#   NORVIK_WINE_LOCALE   the locale to run in (default: zh_CN.UTF-8; empty
#                        keeps the caller's)
#   NORVIK_WINE_HEADLESS set to 1 to drop DISPLAY (programs that open windows
#                        then fail to, and their tests skip)
#   WINEPREFIX           the Wine prefix (default: build/wine-prefix of
#                        this source tree, created on first use)
. "$(dirname "$0")/wine-prefix.sh"
launcher=wine
case "${1:-}" in
    --win64) launcher=$(norvik_wine64_loader); export WINELOADER="$launcher"; shift ;;
    --win32) shift ;;
esac
norvik_ensure_wine_prefix || exit 1
if [ -n "${NORVIK_WINE_HEADLESS:-}" ]; then
    unset DISPLAY
fi
locale_name="${NORVIK_WINE_LOCALE-zh_CN.UTF-8}"
if [ -n "$locale_name" ]; then
    wanted=$(printf '%s' "$locale_name" | tr 'A-Z' 'a-z' | sed 's/-//g')
    if locale -a 2>/dev/null | tr 'A-Z' 'a-z' | sed 's/-//g' | grep -qx "$wanted"; then
        export LC_ALL="$locale_name"
    else
        echo "wine-run.sh: locale $locale_name is not available; the ANSI code page stays the default one" >&2
    fi
fi
exec "${NORVIK_WINE:-$launcher}" "$@"
