# bash completion for dazed-fug(8)
#
# Offers only the options the program accepts: -r/--reboot and -m/--mutual
# appear in its usage text but are refused, so they are left out. After a
# first argument that selects -d or -u, the second is the report file.

_dazed_fug_options="-c -d -e -f -g -h -s -u
--discovery --downgrade --force --help --rewrite --silent --usexml"

# Whether the program takes its next argument as the report path: -d, -u,
# a group of short options holding one of them, the long forms and their
# unambiguous abbreviations, or the slash forms /d and /u.
_dazed_fug_takes_report()
{
    local word=${1,,}
    case $1 in
        /d | /u) return 0 ;;
    esac
    case $word in
        --di* | --u*) [[ --discovery == "$word"* || --usexml == "$word"* ]] ;;
        --*) return 1 ;;
        -*[du]*) return 0 ;;
        *) return 1 ;;
    esac
}

_dazed_fug()
{
    local cur=${COMP_WORDS[COMP_CWORD]}
    COMPREPLY=()
    # More than three arguments are refused.
    ((COMP_CWORD >= 1 && COMP_CWORD <= 3)) || return 0

    if ((COMP_CWORD == 2)) && [[ $cur != -* ]] && _dazed_fug_takes_report "${COMP_WORDS[1]}"; then
        compopt -o filenames 2>/dev/null
        mapfile -t COMPREPLY < <(compgen -d -- "$cur"; compgen -f -X '!*.[xX][mM][lL]' -- "$cur")
        return 0
    fi
    if [[ -z $cur || $cur == -* ]]; then
        mapfile -t COMPREPLY < <(compgen -W "$_dazed_fug_options" -- "$cur")
    fi
    return 0
}

complete -F _dazed_fug dazed-fug
