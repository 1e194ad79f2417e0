#!/bin/sh
# The Windows zip of a MinGW-w64 build: made with CPack, checked for what it
# must hold (Norvik.exe, norvikctl.exe, README-windows.txt, LICENSE.txt),
# unpacked into a scratch folder, its norvikctl.exe run under Wine on the
# demo (its output compared with the Linux build's, stored in
# tests/data/norvikctl-demo-list.txt), and its Norvik.exe run by the suite's
# smoke test (NORVIK_SMOKE_EXE), which opens the dialog, finds no camera and
# closes it writing the settings file beside the program.
#
#   cmake/toolchains/test-windows-zip.sh <build dir>   (built already)
set -eu
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "${1:?usage: test-windows-zip.sh <build dir>}" && pwd)

rm -f "$build"/norvik-*-windows-*.zip
(cd "$build" && cpack -G ZIP >/dev/null)
zip=$(ls "$build"/norvik-*-windows-*.zip)
echo "-- zip: $zip"
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
(cd "$scratch" && cmake -E tar xf "$zip")
top=$(ls "$scratch")
(cd "$scratch/$top" && ls -l)
for file in Norvik.exe norvikctl.exe README-windows.txt LICENSE.txt; do
    [ -f "$scratch/$top/$file" ] || { echo "test-windows-zip: $file is not in the zip" >&2; exit 1; }
done
[ "$(ls "$scratch/$top" | wc -l)" -eq 4 ] || { echo "test-windows-zip: the zip holds more than the four files" >&2; exit 1; }

# The same bytes as the Linux norvikctl: the list on standard output, the
# announcement of the simulated cameras alone on standard error.
echo "-- the zipped norvikctl.exe under Wine: norvikctl --sim demo list"
status=0
"$here/wine-run.sh" --win32 "$scratch/$top/norvikctl.exe" --sim demo list \
    >"$scratch/list.out" 2>"$scratch/list.err" </dev/null || status=$?
# The Wine session it started must be over before the smoke test starts its
# own.
. "$here/wine-prefix.sh"
wineserver -w
if [ "$status" -ne 0 ] || ! cmp -s "$scratch/list.out" "$here/../../tests/data/norvikctl-demo-list.txt" ||
    [ "$(cat "$scratch/list.err")" != "norvikctl: simulated cameras from demo" ]; then
    echo "test-windows-zip: norvikctl.exe --sim demo list (exit status $status) did not print the Linux build's output:" >&2
    cat "$scratch/list.out" "$scratch/list.err" >&2
    diff "$here/../../tests/data/norvikctl-demo-list.txt" "$scratch/list.out" >&2 || true
    exit 1
fi
cat "$scratch/list.out"

# Wine maps the Unix root to drive Z:.
exe="Z:$(printf '%s' "$scratch/$top/Norvik.exe" | tr / '\\')"
echo "-- the zipped Norvik.exe under Wine"
out=$(NORVIK_SMOKE_EXE=$exe "$here/wine-ctest.sh" "$build" -R NorvikSmoke --output-on-failure 2>&1) || {
    echo "$out"
    exit 1
}
echo "$out" | grep -E "Test #|tests passed"
# The smoke test skips when it finds no program: that is a failure here.
if echo "$out" | grep -q "Skipped"; then
    echo "test-windows-zip: the smoke test did not find the zipped Norvik.exe" >&2
    exit 1
fi
