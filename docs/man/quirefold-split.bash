# bash completion for quirefold-split                             -*- shell-script -*-
#
# Plain bash (compgen, no helpers of the bash-completion package), so it also works when
# sourced on its own.

# The word as the shell will read it: an opening quote dropped, backslash escapes undone.
_quirefold_split_dequote()
{
    local word=$1 plain='' i
    case $word in
    \'*) word=${word#\'} && word=${word%\'} && printf '%s' "$word" && return ;;
    \"*) word=${word#\"} && word=${word%\"} ;;
    esac
    for ((i = 0; i < ${#word}; i++)); do
        [[ ${word:i:1} == \\ ]] && ((i++))
        plain+=${word:i:1}
    done
    printf '%s' "$plain"
}

# Adds the names compgen gives for its arguments to COMPREPLY.
_quirefold_split_add()
{
    local name
    while IFS= read -r name; do
        COMPREPLY+=("$name")
    done < <(compgen "$@")
}

# Readline quotes the names and marks folders with a slash; outside a completion (a script
# calling the function) compopt fails, which does no harm.
_quirefold_split_names()
{
    compopt -o filenames 2>/dev/null
}

_quirefold_split()
{
    local cur=${COMP_WORDS[COMP_CWORD]} prev=''
    ((COMP_CWORD > 0)) && prev=${COMP_WORDS[COMP_CWORD - 1]}
    COMPREPLY=()

    # Each on/off setting is --NAME and --no-NAME.
    local flags="links images navigation breadcrumbs fix-links page-titles head-links
        tolerate-missing-body-end manifest sidebar search"
    local valued="break-on prev-text home-text next-text prev-image home-image next-image
        breadcrumbs-text output-dir"
    local modes="defaults save open quiet help version"

    # Which option the current word is the value of, if any. COMP_WORDBREAKS holds '=' by
    # default, so bash hands "--break-on=2" over as "--break-on" "=" "2" (and a bare
    # "--break-on=" as "--break-on" "=").
    local opt='' val='' prefix='' name
    if [[ $cur == = && $prev == --?* ]]; then
        opt=$prev
    elif [[ $prev == = && $COMP_CWORD -ge 2 && ${COMP_WORDS[COMP_CWORD - 2]} == --?* ]]; then
        opt=${COMP_WORDS[COMP_CWORD - 2]} val=$cur
    elif [[ $cur == --?*=* ]]; then
        opt=${cur%%=*} val=${cur#*=}
        # Readline replaces the whole word only when '=' does not break words.
        [[ $COMP_WORDBREAKS == *=* ]] || prefix=$opt=
    elif [[ $prev == -[bo] ]]; then
        opt=$prev val=$cur
    else
        for name in $valued; do
            [[ $prev == "--$name" ]] && opt=$prev val=$cur
        done
    fi

    if [[ -n $opt ]]; then
        val=$(_quirefold_split_dequote "$val")
        case $opt in
        -b | --break-on) _quirefold_split_add -W "1 2 3" -- "$val" ;;
        -o | --output-dir)
            _quirefold_split_names
            _quirefold_split_add -d -- "$val"
            ;;
        --prev-image | --home-image | --next-image)
            _quirefold_split_names
            _quirefold_split_add -f -- "$val"
            ;;
        esac
        # The texts are free, and an option without a value takes none.
        if [[ -n $prefix ]]; then
            local i
            for i in "${!COMPREPLY[@]}"; do
                COMPREPLY[i]=$prefix${COMPREPLY[i]}
            done
        fi
        return 0
    fi

    # After "--" every argument is a FILE, even one that starts with '-'.
    local i onlyFiles=
    for ((i = 1; i < COMP_CWORD; i++)); do
        [[ ${COMP_WORDS[i]} == -- ]] && onlyFiles=1 && break
    done

    if [[ -z $onlyFiles && $cur == -* ]]; then
        local options="-b -o -q -h -V"
        for name in $flags; do
            options+=" --$name --no-$name"
        done
        for name in $valued; do
            options+=" --$name="
        done
        for name in $modes; do
            options+=" --$name"
        done
        _quirefold_split_add -W "$options" -- "$cur"
        # An option that takes a value gets it right after its '='.
        [[ ${#COMPREPLY[@]} -eq 1 && ${COMPREPLY[0]} == *= ]] && compopt -o nospace 2>/dev/null
        return 0
    fi

    # FILE: the documents the program splits, and folders to reach them.
    cur=$(_quirefold_split_dequote "$cur")
    _quirefold_split_names
    _quirefold_split_add -d -- "$cur"
    _quirefold_split_add -f -X '!*.[Hh][Tt][Mm]' -- "$cur"
    _quirefold_split_add -f -X '!*.[Hh][Tt][Mm][Ll]' -- "$cur"
    return 0
}

complete -F _quirefold_split quirefold-split
