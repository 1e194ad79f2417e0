#!/usr/bin/env bash
# The bash completion of norvikctl, as bash runs it on Tab.
#   completion-test.sh <built norvikctl> <completion file>
set -u
program=$1
source "$2"
failures=0

# Completes the words given (the last one is being typed) and prints the
# candidates, one per line.
complete_words()
{
    COMP_WORDS=("$program" "$@")
    COMP_CWORD=$#
    COMPREPLY=()
    _norvikctl
    printf '%s\n' "${COMPREPLY[@]}"
}

# expect <words...> : has|lacks <candidate>...
expect()
{
    local words=() mode=has candidate out
    while [ "$1" != : ]; do words+=("$1"); shift; done
    shift
    out=$(complete_words "${words[@]}")
    for candidate in "$@"; do
        case $candidate in
            has|lacks) mode=$candidate; continue ;;
        esac
        if grep -qxF -- "$candidate" <<<"$out"; then
            [ "$mode" = has ] && continue
        else
            [ "$mode" = lacks ] && continue
        fi
        echo "FAIL: norvikctl ${words[*]}<Tab>: $mode $candidate; got: $(tr '\n' ' ' <<<"$out")"
        failures=$((failures + 1))
    done
}

# Every subcommand the program lists, at the start and after global options
# with their values (a value is no subcommand).
subcommands=$("$program" --help | awk '/^Subcommands:/ { on = 1; next } on && /^  [a-z]/ { print $1 }')
[ -n "$subcommands" ] || { echo "FAIL: norvikctl --help lists no subcommands"; exit 1; }
# shellcheck disable=SC2086
expect "" : has $subcommands lacks --sim
# shellcheck disable=SC2086
expect --sim demo --debug "" : has $subcommands lacks demo
expect l : has list len lacks get set
# Global options; a subcommand's options only after it.
expect -- : has --sim --debug --help --version lacks --cs --hex
expect set --h : has --hex --help lacks --guid --sim
expect get -- : has --guid --device --unit --cs --text --log --repeat --sim lacks --hex --verify
expect --sim demo len -- : has --cs --json lacks --log
# Values: "demo" or a file for --sim, a file for --log, nothing to guess for
# the others.
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
touch "$scratch/bench.csv" "$scratch/demo-lab.json"
expect --sim de : has demo
expect --sim "$scratch/demo-" : has "$scratch/demo-lab.json" lacks demo
expect get --log "$scratch/be" : has "$scratch/bench.csv"
# batch: its options, and a file for its script but not for an option's value.
expect batch --k : has --keep-going lacks --cs
expect batch --guid G "$scratch/be" : has "$scratch/bench.csv" lacks --log
out=$(complete_words batch --guid "")
[ -z "$out" ] || { echo "FAIL: norvikctl batch --guid <Tab> offers: $out"; failures=$((failures + 1)); }
out=$(complete_words get --cs "")
[ -z "$out" ] || { echo "FAIL: norvikctl get --cs <Tab> offers: $out"; failures=$((failures + 1)); }
# A subcommand's name given as an option's value does not choose it.
expect --sim list "" : has get set

if [ "$failures" -gt 0 ]; then
    echo "$failures completion checks failed"
    exit 1
fi
echo "completion: all checks passed"
