# Sourced by the Wine scripts of this folder: chooses the Wine launcher and
# the project's own Wine prefix, and creates the prefix when it is missing,
# before any wineserver starts.
#
# The prefix lives in the build tree (build/wine-prefix), so nothing depends
# on the user's home or on what an earlier run left there; a caller's
# WINEPREFIX is kept. The prefix is 64-bit; with wine32 installed it runs
# 32-bit programs too. Creation is serialised with flock: CTest starts
# several test programs at once, and each would otherwise try to create it.

# "$0" is the sourcing script, which lives beside this file.
norvik_wine_root=$(cd "$(dirname "$0")/../.." && pwd)
export WINEPREFIX="${WINEPREFIX:-$norvik_wine_root/build/wine-prefix}"
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"

# Debian's `wine` prefers the 32-bit loader whenever wine32 is installed, and
# that loader cannot start where the kernel runs no 32-bit programs. 64-bit
# programs therefore go straight to the 64-bit loader.
norvik_wine64_loader() {
    if [ -x /usr/lib/wine/wine64 ]; then
        echo /usr/lib/wine/wine64
    elif command -v wine64 >/dev/null 2>&1; then
        command -v wine64
    else
        echo wine
    fi
}

# Whether this machine's kernel runs 32-bit x86 programs at all (some
# virtual machines and sandboxes leave that out).
norvik_kernel_runs_32bit() {
    "$(dirname "${BASH_SOURCE[0]}")/kernel-runs-32bit"
}

norvik_ensure_wine_prefix() {
    [ -f "$WINEPREFIX/system.reg" ] && return 0
    mkdir -p "$(dirname "$WINEPREFIX")"
    (
        flock 9
        if [ ! -f "$WINEPREFIX/system.reg" ]; then
            echo "wine-prefix: creating $WINEPREFIX" >&2
            loader=$(norvik_wine64_loader)
            WINEARCH=win64 WINELOADER=$loader "$loader" wineboot -i >/dev/null 2>&1 </dev/null || true
            # wineboot returns before the registry is written out.
            wineserver -w || true
        fi
    ) 9>"$WINEPREFIX.lock"
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
        echo "wine-prefix: could not create the Wine prefix $WINEPREFIX" >&2
        return 1
    fi
}
