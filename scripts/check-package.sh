#!/usr/bin/env bash
# Builds the Debian package, reads lintian's report, installs the package, uses the installed
# programs as a user would, removes the package and checks that nothing of it is left.
# It installs into the running system: run it as root on a machine that may be changed
# (.ci/run does, on CI's throwaway machine), or through sudo.
set -euo pipefail
cd "$(dirname "$0")/.."
sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
if dpkg-query -W -f='${Status}' quirefold 2>/dev/null | grep -q "install ok installed"; then
  echo "check-package: quirefold is installed already; remove it first" >&2
  exit 1
fi

deb=$(scripts/package.sh)
version=$(dpkg-deb -f "$deb" Version)

echo "lintian on $deb:"
# Warnings fail too; the few that stay are explained in debian/quirefold.lintian-overrides.
lintian --fail-on error,warning --info "$deb"

echo "Installing $deb ..."
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "$deb" >/dev/null
mapfile -t owned < <(dpkg-query -L quirefold)
work=$(mktemp -d)
removed=0
cleanup() {
  rm -rf "$work"
  if [ "$removed" -eq 0 ]; then
    DEBIAN_FRONTEND=noninteractive $sudo apt-get remove --purge -y -qq quirefold >/dev/null || true
  fi
}
trap cleanup EXIT

fail() {
  echo "check-package: $*" >&2
  exit 1
}
[ "$(command -v quirefold-split)" = /usr/bin/quirefold-split ] || fail "quirefold-split is not on the PATH"
[ -x /usr/bin/quirefold ] || fail "no /usr/bin/quirefold"
quirefold-split --version | grep -qF "$version" || fail "quirefold-split --version does not say $version"

# The example, split by the installed program with its installed default images, under
# settings of its own.
cp examples/manual.html "$work/"
XDG_CONFIG_HOME="$work/config" quirefold-split --defaults --links --images -q "$work/manual.html"
for image in prev1.gif home1.gif next1.gif; do
  cmp -s "$work/$image" "/usr/share/quirefold/$image" ||
    fail "the split did not take $image from /usr/share/quirefold"
done
grep -q '<IMG SRC="next1.gif"' "$work/manual001.html" || fail "the first page has no Next image"

# Where the installed Quirefold is the desktop's handler for pages, a result it opens goes to
# the web browser (here an entry that notes what it was given), not back to Quirefold.
mkdir -p "$work/data/applications" "$work/opener"
printf '#!/bin/sh\necho "$@" >> %s/opened.txt\n' "$work" >"$work/record.sh"
chmod +x "$work/record.sh"
printf '[Desktop Entry]\nType=Application\nName=Browser\nExec=%s browser %%u\nMimeType=x-scheme-handler/http;\n' \
  "$work/record.sh" >"$work/data/applications/browser.desktop"
mkdir -p "$work/opener-config"
printf '[Default Applications]\ntext/html=example.brisendale.Quirefold.desktop\nx-scheme-handler/http=browser.desktop\n' \
  >"$work/opener-config/mimeapps.list"
cp examples/manual.html "$work/opener/"
XDG_CONFIG_HOME="$work/opener-config" XDG_DATA_HOME="$work/data" \
  quirefold-split --defaults --open -q "$work/opener/manual.html"
for _ in $(seq 100); do [ -s "$work/opened.txt" ] && break; sleep 0.1; done
[ "$(cat "$work/opened.txt" 2>/dev/null)" = "browser $work/opener/manual000.html" ] ||
  fail "the result did not go to the browser: $(cat "$work/opened.txt" 2>/dev/null)"

man -w quirefold >/dev/null || fail "man finds no page for quirefold"
man -w quirefold-split >/dev/null || fail "man finds no page for quirefold-split"

echo "Removing the package ..."
DEBIAN_FRONTEND=noninteractive $sudo apt-get remove --purge -y -qq quirefold >/dev/null
removed=1
for path in "${owned[@]}"; do
  # Folders the package shares with others (/usr/bin, /usr/share/man/man1) stay.
  if [ -e "$path" ] && { [ ! -d "$path" ] || [[ "$path" == *quirefold* ]]; }; then
    fail "$path is left after removing the package"
  fi
done
echo "The package built, installed, worked and was removed without a trace."
