#!/bin/sh
# check-desktop-data.sh DESKTOP_ENTRY METAINFO QUIREFOLD_SPLIT
#
# The desktop entry and the software centre's metainfo as they are installed: each valid for the
# desktop's own tool, both naming the program by one desktop id (file names, Icon=, <id>,
# <launchable>), and the release they describe the version the program reports.
# Exits 77 (skipped) when a validator is not installed.
set -u

if [ $# -ne 3 ]; then
    echo "usage: $0 DESKTOP_ENTRY METAINFO QUIREFOLD_SPLIT" >&2
    exit 2
fi
desktop=$1
metainfo=$2
split=$3

for tool in desktop-file-validate:desktop-file-utils appstreamcli:appstream; do
    if ! command -v "${tool%%:*}" >/dev/null 2>&1; then
        echo "SKIP: ${tool%%:*} is not installed (Debian package ${tool#*:})"
        exit 77
    fi
done

failed=0
fail() {
    echo "FAIL: $*"
    failed=1
}

# desktop-file-validate fails only on errors; a warning is a fault of the entry too. Hints
# (advice that changes between versions) are shown, not counted.
report=$(desktop-file-validate "$desktop" 2>&1)
status=$?
[ -n "$report" ] && printf '%s\n' "$report"
if [ $status -ne 0 ] || printf '%s\n' "$report" | grep -v 'hint: ' | grep -q .; then
    fail "desktop-file-validate $desktop"
fi

# appstreamcli fails on errors and warnings; infos and pedantic notes pass.
if ! appstreamcli validate --no-net "$metainfo"; then
    fail "appstreamcli validate --no-net $metainfo"
fi

# Every place the desktop id appears, each expected exactly once.
only() { # NAME VALUES: VALUES must be one line
    if [ "$(printf '%s\n' "$2" | grep -c .)" -ne 1 ]; then
        fail "$1: expected one value, found '$2'"
        return 1
    fi
}
id=$(basename "$desktop" .desktop)
icon=$(sed -n 's/^Icon=//p' "$desktop")
meta_file_id=$(basename "$metainfo" .metainfo.xml)
meta_id=$(sed -n 's:^[[:space:]]*<id>\(.*\)</id>[[:space:]]*$:\1:p' "$metainfo")
launchable=$(sed -n 's:.*<launchable type="desktop-id">\(.*\)</launchable>.*:\1:p' "$metainfo")
for pair in "Icon=:$icon" "metainfo file name:$meta_file_id" "metainfo <id>:$meta_id" \
    "metainfo <launchable>:${launchable%.desktop}"; do
    name=${pair%%:*}
    value=${pair#*:}
    if only "$name" "$value" && [ "$value" != "$id" ]; then
        fail "$name is '$value', the desktop entry is $id.desktop"
    fi
done
case $launchable in
*.desktop) ;;
*) fail "metainfo <launchable> '$launchable' does not name a .desktop file" ;;
esac

# The newest release comes first; its version is the one the program reports.
release=$(sed -n 's:.*<release [^>]*version="\([^"]*\)".*:\1:p' "$metainfo" | head -n 1)
banner=$("$split" --version) || fail "$split --version failed"
program=${banner##* }
if [ -z "$release" ]; then
    fail "metainfo has no <release version=...>"
elif [ "$release" != "$program" ]; then
    fail "metainfo's release is $release, '$split --version' says '$banner'"
fi

[ $failed -eq 0 ] && echo "OK: $id, version $program"
exit $failed
