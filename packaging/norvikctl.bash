# bash completion for norvikctl: its subcommands, their options and the
# global ones. The words come from the program's own --help, so they follow
# the installed program without a list kept here.

# Prints one line per option of "norvikctl [SUBCOMMAND] --help": its names,
# then "=" when it takes a value (e.g. "--sim=", "-h --help").
_norvikctl_options()
{
    local program=$1
    shift
    "$program" "$@" --help 2>/dev/null | awk '
        /^[^ ]/ { in_options = ($0 ~ /^Options:/) ; next }
        in_options && /^  +-/ {
            sub(/^ +/, "")
            n = split($0, field, / +/)
            split(field[1], names, ",")
            line = ""
            for (i in names) line = line (line == "" ? "" : " ") names[i]
            if (n > 1 && field[2] ~ /^[A-Z]+$/) line = line "="
            print line
        }'
}

# Prints the subcommands "norvikctl --help" lists.
_norvikctl_subcommands()
{
    "$1" --help 2>/dev/null | awk '
        /^[^ ]/ { in_list = ($0 ~ /^Subcommands:/) ; next }
        in_list && /^  +[a-z]/ { print $1 }'
}

# True when the option named $2 takes a value, by the lines of $1.
_norvikctl_takes_value()
{
    awk -v name="$2" '/=$/ { sub(/=$/, ""); for (i = 1; i <= NF; i++) if ($i == name) found = 1 }
                      END { exit !found }' <<<"$1"
}

_norvikctl()
{
    local cur=${COMP_WORDS[COMP_CWORD]} prev=""
    ((COMP_CWORD > 0)) && prev=${COMP_WORDS[COMP_CWORD - 1]}
    local program=${COMP_WORDS[0]}
    program=${program/#\~/$HOME}
    command -v "$program" >/dev/null 2>&1 || program=norvikctl

    local global subcommands
    global=$(_norvikctl_options "$program")
    subcommands=$(_norvikctl_subcommands "$program")

    # The subcommand is the first word that is neither an option nor the
    # value of one.
    local sub="" i word
    for ((i = 1; i < COMP_CWORD; i++)); do
        word=${COMP_WORDS[i]}
        [[ $word == -* ]] && continue
        _norvikctl_takes_value "$global" "${COMP_WORDS[i - 1]}" && continue
        if grep -qxF -- "$word" <<<"$subcommands"; then
            sub=$word
            break
        fi
    done
    local options=$global
    [[ -n $sub ]] && options+=$'\n'$(_norvikctl_options "$program" "$sub")

    case $prev in
        --sim)
            COMPREPLY=($(compgen -W demo -- "$cur") $(compgen -f -- "$cur"))
            return
            ;;
        --log)
            COMPREPLY=($(compgen -f -- "$cur"))
            return
            ;;
    esac
    if _norvikctl_takes_value "$options" "$prev"; then
        COMPREPLY=()
        return
    fi
    if [[ -z $sub && $cur != -* ]]; then
        COMPREPLY=($(compgen -W "$subcommands" -- "$cur"))
        return
    fi
    # The word batch takes that is no option is its script.
    if [[ $sub == batch && $cur != -* ]]; then
        COMPREPLY=($(compgen -f -- "$cur"))
        return
    fi
    # --help is both a global option and one of each subcommand.
    COMPREPLY=($(compgen -W "$(sed 's/=$//' <<<"$options" | tr ' ' '\n' | awk '!seen[$0]++')" -- "$cur"))
}
complete -F _norvikctl norvikctl
