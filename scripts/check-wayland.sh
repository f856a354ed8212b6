#!/usr/bin/env bash
# Starts the desktop program under Wayland, in a headless weston, on the example manual, and
# checks that the window writes the same pages as quirefold-split. Skips, saying so, where weston
# or Qt's Wayland plugin is missing (Debian packages weston and qt6-wayland).
# Usage: scripts/check-wayland.sh [BUILD_DIR]  (default: QUIREFOLD_BUILD_DIR or build, built)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-${QUIREFOLD_BUILD_DIR:-build}}"
case "$build" in
  /*) ;;
  *) build="$root/$build" ;;
esac
bin="$build/bin"

if ! command -v weston >/dev/null; then
  echo "check-wayland: skipped: weston is not installed (Debian packages weston, qt6-wayland)"
  exit 0
fi
if ! find /usr/lib -path '*qt6/plugins/platforms/libqwayland-generic.so' 2>/dev/null | grep -q .; then
  echo "check-wayland: skipped: Qt's Wayland plugin is not installed (Debian package qt6-wayland)"
  exit 0
fi
for program in quirefold quirefold-split; do
  if [ ! -x "$bin/$program" ]; then
    echo "check-wayland: $bin/$program is not built" >&2
    exit 1
  fi
done

work=$(mktemp -d "${TMPDIR:-/tmp}/quirefold-wayland.XXXXXX")
weston_pid="" window_pid=""
cleanup() {
  local status=$?
  for pid in $window_pid $weston_pid; do
    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
  done
  rm -rf "$work"
  exit "$status"
}
trap cleanup EXIT
fail() {
  echo "check-wayland: $1" >&2
  for log in "$work"/*.log; do
    [ -s "$log" ] && { echo "--- $log" >&2; tail -n 20 "$log" >&2; }
  done
  exit 1
}

# wait_for TENTHS PID WHAT TEST...: until TEST holds, at most TENTHS tenths of a second, failing
# with "WHAT" as soon as PID has ended.
wait_for() {
  local tenths="$1" pid="$2" what="$3"
  shift 3
  for _ in $(seq "$tenths"); do
    "$@" && return 0
    kill -0 "$pid" 2>/dev/null || fail "$what"
    sleep 0.1
  done
  "$@"
}

# A compositor of our own, with no screen, and settings and a runtime folder of our own.
export XDG_RUNTIME_DIR="$work/runtime" XDG_CONFIG_HOME="$work/config"
mkdir -p "$XDG_RUNTIME_DIR" "$XDG_CONFIG_HOME" "$work/opener" "$work/window" "$work/split"
chmod 700 "$XDG_RUNTIME_DIR"
socket=quirefold-check
weston --backend=headless-backend.so --socket="$socket" --idle-time=0 >"$work/weston.log" 2>&1 &
weston_pid=$!
wait_for 100 "$weston_pid" "weston did not start" test -S "$XDG_RUNTIME_DIR/$socket" ||
  fail "weston made no socket"

# The browser the window hands the finished page to only notes what it was given.
cat >"$work/opener/xdg-open" <<EOF
#!/bin/sh
echo "\$1" >>"$work/opened"
EOF
chmod +x "$work/opener/xdg-open"

cp "$root/examples/manual.html" "$work/window/"
cp "$root/examples/manual.html" "$work/split/"
"$bin/quirefold-split" --defaults --links --breadcrumbs --navigation --save -q \
  "$work/split/manual.html" >"$work/split.log" 2>&1 || fail "quirefold-split failed"

env -u DISPLAY PATH="$work/opener:$PATH" WAYLAND_DISPLAY="$socket" QT_QPA_PLATFORM=wayland \
  "$bin/quirefold" "$work/window/manual.html" >"$work/window.log" 2>&1 &
window_pid=$!
wait_for 600 "$window_pid" "the desktop program ended before its split was done" \
  test -s "$work/opened" || fail "the desktop program opened no page within 60 s"
kill -0 "$window_pid" 2>/dev/null || fail "the desktop program ended after its split"

diff -r "$work/split" "$work/window" >"$work/diff.log" 2>&1 ||
  fail "the window's pages differ from quirefold-split's"
pages=$(find "$work/window" -name 'manual[0-9]*.html' | wc -l)
echo "check-wayland: under Wayland (weston, headless) the window split the example into $pages" \
  "pages, byte for byte as quirefold-split, and opened $(basename "$(head -n 1 "$work/opened")")"
