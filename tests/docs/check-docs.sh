#!/bin/bash
# The manual pages and the bash completion against the program as built.
#
#   check-docs.sh QUIREFOLD_SPLIT QUIREFOLD_SPLIT_1 QUIREFOLD_1 COMPLETION
#
# Every option that quirefold-split --help lists must be in quirefold-split(1) and be offered
# by the completion, so a new option fails here until the documentation covers it. The pages
# must render without a warning and carry the program's version. Exits 77 (skipped) when
# groff is missing and everything that needs no groff passed.
set -u
export LC_ALL=C

if [ $# -ne 4 ]; then
    echo "usage: $0 QUIREFOLD_SPLIT QUIREFOLD_SPLIT_1 QUIREFOLD_1 COMPLETION" >&2
    exit 2
fi
split=$1 splitPage=$2 desktopPage=$3
# The completion is sourced from another folder.
completion=$(cd "$(dirname "$4")" && pwd)/$(basename "$4")

failures=0
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}

work=$(mktemp -d) || exit 1
trap 'rm -rf "$work"' EXIT

help=$("$split" --help) || {
    echo "FAIL: $split --help did not succeed"
    exit 1
}
version=$("$split" --version | awk '{ print $NF }')
# The option lines of the help are the ones that start with an option after the indent.
longOptions=$(printf '%s\n' "$help" | grep -E '^ +-' | grep -oE -- '--[a-z][a-z-]*' | sort -u)
shortOptions=$(printf '%s\n' "$help" | grep -oE '^ +-[A-Za-z],' | tr -d ' ,' | sort -u)
count=$(printf '%s\n' "$longOptions" | wc -l)
echo "quirefold-split $version lists $count long options and ${shortOptions//$'\n'/ }"
if [ "$count" -lt 20 ] || [ -z "$shortOptions" ] || [ -z "$version" ]; then
    echo "FAIL: could not read the options or the version of $split"
    exit 1
fi

mapfile -t longList <<<"$longOptions"

# --- The completion, in a plain bash that has none of bash-completion's helpers.
mkdir -p "$work/files/sub dir"
touch "$work/files/guide.html" "$work/files/OLD.HTM" "$work/files/notes.txt" \
    "$work/files/logo.gif"
completionOut=$(cd "$work/files" && bash --norc --noprofile -c '
    source "$1" || exit 1
    shift
    declare -F _init_completion >/dev/null && echo "bash-completion helpers are loaded"
    # Prints the replies for the words after the program name, the last one being completed.
    replies() {
        COMP_WORDS=(quirefold-split "$@")
        COMP_CWORD=$#
        COMP_LINE="${COMP_WORDS[*]}"
        COMP_POINT=${#COMP_LINE}
        COMPREPLY=()
        _quirefold_split
        ((${#COMPREPLY[@]})) && printf "%s\n" "${COMPREPLY[@]}" | sort | tr "\n" " "
    }
    for option in "$@"; do
        got=" $(replies "$option")"
        [[ $got == *" $option "* || $got == *" $option= "* ]] || echo "does not offer $option"
    done
    check() {
        local want=$1
        shift
        local got
        got=$(replies "$@")
        [[ $got == "$want" ]] || echo "for [$*] offers [$got], not [$want]"
    }
    check "--fix-links " --fix
    # bash hands "--break-on=" over as "--break-on" "=" since "=" breaks words.
    check "1 2 3 " --break-on =
    check "2 " --break-on = 2
    check "1 2 3 " --break-on=
    check "1 2 3 " -b ""
    check "1 2 3 " --break-on ""
    check "OLD.HTM guide.html sub dir " --links ""
    check "OLD.HTM guide.html sub dir " ""
    check "sub dir " -o ""
    check "sub dir " --output-dir = ""
    check "guide.html " "\"gu"
    check "OLD.HTM guide.html logo.gif notes.txt sub dir " --next-image ""
    check "" --prev-text ""
    check "" -- --fix
' bash "$completion" "${longList[@]}" 2>&1) || fail "sourcing $completion"
if [ -n "$completionOut" ]; then
    while IFS= read -r line; do
        fail "completion: $line"
    done <<<"$completionOut"
fi

# --- The manual pages.
if ! command -v groff >/dev/null; then
    if [ "$failures" -ne 0 ]; then
        echo "$failures check(s) failed"
        exit 1
    fi
    echo "SKIP: groff is not installed, the manual pages were not checked"
    exit 77
fi
for page in "$splitPage" "$desktopPage"; do
    [ -f "$page" ] || {
        fail "$page does not exist"
        continue
    }
    warnings=$(groff -man -ww -z -Tutf8 "$page" 2>&1)
    [ -z "$warnings" ] || fail "$page renders with warnings:"$'\n'"$warnings"
    grep -nE '@[A-Za-z_]+@' "$page" && fail "$page holds a variable CMake did not replace"
    # Plain text on one long line per paragraph, so no option is broken or hyphenated.
    groff -man -Tascii -P-cbou -rLL=400n -rHY=0 "$page" >"$work/$(basename "$page").txt" 2>&1
    grep -qF "Quirefold $version" "$work/$(basename "$page").txt" ||
        fail "$page does not name version $version"
done
rendered=$work/$(basename "$splitPage").txt
for option in $longOptions $shortOptions; do
    # Whole options only: --links is not --no-links.
    grep -qE -- "(^|[^a-z-])$option([^a-z-]|\$)" "$rendered" ||
        fail "$(basename "$splitPage") does not describe $option"
done

if [ "$failures" -ne 0 ]; then
    echo "$failures check(s) failed"
    exit 1
fi
echo "ok: both pages, $count long options, the completion"
