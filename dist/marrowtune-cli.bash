# SPDX-License-Identifier: MIT
# bash completion for marrowtune-cli
_marrowtune_cli()
{
    local cur prev word command=""
    cur=${COMP_WORDS[COMP_CWORD]}
    prev=${COMP_WORDS[COMP_CWORD-1]}
    for word in "${COMP_WORDS[@]:1:COMP_CWORD-1}"; do
        case $word in zone|search) command=$word; break ;; esac
    done
    case $prev in
        --format) COMPREPLY=($(compgen -W "tsv json m3u" -- "$cur")); return ;;
        --page) return ;;
        --proxy) COMPREPLY=($(compgen -W "http:// socks5h://" -- "$cur")); compopt -o nospace; return ;;
    esac
    if [[ $cur == -* ]]; then
        local options="--help --version --format --json --header --check --proxy"
        [[ $command != zone ]] && options+=" --page --all"
        COMPREPLY=($(compgen -W "$options" -- "$cur"))
    elif [[ -z $command ]]; then
        COMPREPLY=($(compgen -W "zone search" -- "$cur"))
    elif [[ $command == search && $prev != search ]]; then
        COMPREPLY=($(compgen -W "next prev" -- "$cur"))
    fi
}
complete -F _marrowtune_cli marrowtune-cli
