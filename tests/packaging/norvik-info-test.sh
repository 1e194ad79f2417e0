#!/usr/bin/env bash
# `norvik --help` and `--version` answer without a display (the manual page
# is made from them); any other argument is still ignored.
#   norvik-info-test.sh <built norvik> <version>
set -u
program=$1
version=$2
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
run() { env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM NORVIK_SIMULATION=demo "$program" "$@"; }

out=$(run --help 2>&1); status=$?
[ "$status" -eq 0 ] || fail "--help ends with $status"
grep -q '^Usage: norvik ' <<<"$out" || fail "--help prints no usage line: $out"
grep -q NORVIK_SIMULATION <<<"$out" || fail "--help does not name NORVIK_SIMULATION"
[ "$(run -h 2>&1)" = "$out" ] || fail "-h differs from --help"

out=$(run --version 2>&1); status=$?
[ "$status" -eq 0 ] || fail "--version ends with $status"
[ "$(head -n 1 <<<"$out")" = "norvik $version" ] || fail "--version's first line is not 'norvik $version': $out"

# Not a request: the program goes on as it does without arguments (with no
# display the Qt build says so and ends; a build without Qt runs headless).
plain=$(run 2>&1); plain_status=$?
for args in "--verbose" "list --help"; do
    # shellcheck disable=SC2086
    out=$(run $args 2>&1); status=$?
    [ "$status" -eq "$plain_status" ] || fail "norvik $args ends with $status, without arguments with $plain_status"
    [ "$out" = "$plain" ] || fail "norvik $args says: $out"
done

if [ "$failures" -gt 0 ]; then
    echo "$failures checks failed"
    exit 1
fi
echo "norvik --help/--version: all checks passed"
