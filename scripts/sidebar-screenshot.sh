#!/usr/bin/env bash
# Splits the bundled example manual with --sidebar and takes a desktop-width screenshot of one
# page with headless Chromium, for the README: docs/sidebar.png.
# QUIREFOLD_BUILD_DIR names another build folder than build/.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh

# Debian's browser, only when missing.
if ! dpkg-query -W -f='${Status}' chromium 2>/dev/null | grep -q "install ok installed"; then
  sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  echo "Installing: chromium"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends chromium >/dev/null
fi

build="${QUIREFOLD_BUILD_DIR:-build}"
mkdir -p "$build"
build="$(cd "$build" && pwd)"
configure=(cmake -S . -B "$build")
# Keep whatever generator an existing build folder was made with.
[ -f "$build/CMakeCache.txt" ] || configure+=(-G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo)
"${configure[@]}" >/dev/null
cmake --build "$build" -j"$(nproc)" --target quirefold-split

tmp="$(mktemp -d)"
trap 'rm -rf "$tmp"' EXIT
cp examples/manual.html "$tmp/"
# A private settings folder, so the user's own settings neither change nor change the result.
XDG_CONFIG_HOME="$tmp/config" "$build/bin/quirefold-split" --defaults --links --breadcrumbs \
  --sidebar --fix-links "$tmp/manual.html" >"$tmp/split.log" 2>&1 ||
  { cat "$tmp/split.log" >&2; exit 1; }

# "3.2 Writing your first note": an open branch with the page's own entry in bold, and code.
page="$tmp/manual012.html"
[ -f "$page" ] || { echo "sidebar-screenshot: $page was not written" >&2; exit 1; }
mkdir -p docs
out="$PWD/docs/sidebar.png"
rm -f "$out"
# --no-sandbox: Chromium's sandbox refuses to start as root.
timeout 120 chromium --headless --no-sandbox --disable-gpu --hide-scrollbars \
  --user-data-dir="$tmp/profile" --window-size=1280,800 --screenshot="$out" \
  "file://$page" >"$tmp/chromium.log" 2>&1 || true
[ -s "$out" ] || { cat "$tmp/chromium.log" >&2; echo "sidebar-screenshot: no screenshot" >&2; exit 1; }
echo "$out"
