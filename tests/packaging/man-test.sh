#!/usr/bin/env bash
# The built manual pages as `man -l` shows them: groff has no warning, the
# sections are there, and norvikctl's page holds every subcommand the program
# lists, each with its own options.
#   man-test.sh <directory of norvik.1.gz and norvikctl.1.gz> <built norvikctl>
set -u
dir=$1
program=$2
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

export MANWIDTH=80 MANPAGER=cat PAGER=cat LC_ALL=C.UTF-8
declare -A text
for page in norvik norvikctl; do
    file=$dir/$page.1.gz
    [ -f "$file" ] || { fail "$file is missing"; continue; }
    warnings=$(man --warnings -l "$file" 2>&1 >/dev/null)
    [ -z "$warnings" ] || fail "$page(1): man warns: $warnings"
    text[$page]=$(man -l "$file" 2>/dev/null)
    for section in NAME SYNOPSIS DESCRIPTION OPTIONS ENVIRONMENT "EXIT STATUS" "SEE ALSO"; do
        grep -qx "$section" <<<"${text[$page]}" || fail "$page(1) has no $section section"
    done
    grep -qE "^ +$page +- " <<<"${text[$page]}" || fail "$page(1): the NAME line does not name $page"
done

grep -q NorvikCfg.ini <<<"${text[norvik]:-}" || fail "norvik(1) does not say where the settings are"
grep -q -- "--version" <<<"${text[norvik]:-}" || fail "norvik(1) lacks --version"

# The SUBCOMMANDS section: from its heading to the next one.
subsection=$(awk '/^SUBCOMMANDS$/ { on = 1; next } on && /^[A-Z]/ { exit } on' <<<"${text[norvikctl]:-}")
subcommands=$("$program" --help | awk '/^Subcommands:/ { on = 1; next } on && /^  [a-z]/ { print $1 }')
[ -n "$subcommands" ] || fail "norvikctl --help lists no subcommands"
for sub in $subcommands; do
    # "help" prints the usages the page shows; the overall listing names it.
    [ "$sub" = help ] && { grep -q "help" <<<"${text[norvikctl]:-}" || fail "norvikctl(1) does not name help"; continue; }
    grep -qx "   $sub" <<<"$subsection" || fail "norvikctl(1): no heading for the subcommand $sub"
    grep -q "Usage: norvikctl $sub " <<<"$subsection" || fail "norvikctl(1): no usage of $sub"
    # Each of the subcommand's options is in the page.
    for option in $("$program" "$sub" --help | grep -o -- '--[a-z][a-z-]*' | sort -u); do
        grep -q -- "$option" <<<"$subsection" || fail "norvikctl(1): $sub lacks $option"
    done
done

if [ "$failures" -gt 0 ]; then
    echo "$failures manual page checks failed"
    exit 1
fi
echo "man pages: all checks passed"
