# bash completion for vantlo-cli: options, commands, the options of put, get,
# ls, mkdir, rm and sync, and local paths where a command takes files.

_vantlo_cli() {
    local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD-1]}
    local commands="domains folders mkdir rename rmdir ls find stat put get mv rm sync check signin signout vault"
    local options="--account --provider --imap --ca-file --part-size --transfers --timeout --cache-dir
        --speed-limit --speed-time --no-session-cache --help --version"
    COMPREPLY=()

    case $prev in
        --ca-file | --cache-dir)
            COMPREPLY=($(compgen -f -- "$cur"))
            return ;;
        --account | --provider | --imap | --timeout | --speed-limit | --speed-time | --part-size | --transfers)
            return ;;
    esac

    # The command is the first word that is neither an option nor an
    # option's value.
    local i word command=""
    for ((i = 1; i < COMP_CWORD; i++)); do
        word=${COMP_WORDS[i]}
        case $word in
            --account | --provider | --imap | --ca-file | --part-size | --transfers | --timeout | --cache-dir | \
                --speed-limit | --speed-time) ((i++)) ;;
            -*) ;;
            *) command=$word; break ;;
        esac
    done

    if [ -z "$command" ]; then
        if [[ $cur == -* ]]; then
            COMPREPLY=($(compgen -W "$options" -- "$cur"))
        else
            COMPREPLY=($(compgen -W "$commands" -- "$cur"))
        fi
        return
    fi
    case $command in
        put)
            if [[ $cur == -* ]]; then
                COMPREPLY=($(compgen -W "-r --part-size --transfers" -- "$cur"))
            else
                COMPREPLY=($(compgen -f -- "$cur"))
            fi ;;
        get)
            if [[ $cur == -* ]]; then
                COMPREPLY=($(compgen -W "-r --transfers" -- "$cur"))
            else
                COMPREPLY=($(compgen -f -- "$cur"))
            fi ;;
        sync)
            if [[ $cur == -* ]]; then
                COMPREPLY=($(compgen -W "--delete --dry-run --download" -- "$cur"))
            else
                COMPREPLY=($(compgen -d -- "$cur"))
            fi ;;
        check)
            COMPREPLY=($(compgen -d -- "$cur")) ;;
        mkdir)
            [[ $cur != -* ]] || COMPREPLY=($(compgen -W "-p" -- "$cur")) ;;
        rm)
            [[ $cur != -* ]] || COMPREPLY=($(compgen -W "-r" -- "$cur")) ;;
        ls)
            [[ $cur != -* ]] || COMPREPLY=($(compgen -W "--messages" -- "$cur")) ;;
        vault)
            if [ "$prev" = vault ]; then
                COMPREPLY=($(compgen -W "init passwd status ls put get" -- "$cur"))
            else
                COMPREPLY=($(compgen -f -- "$cur"))
            fi ;;
    esac
}
complete -o filenames -F _vantlo_cli vantlo-cli
