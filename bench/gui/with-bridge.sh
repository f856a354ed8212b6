#!/usr/bin/env bash
# Runs a command of the desktop program with the accessibility bridge on, as for every screen
# reader user: to be run under a session bus (dbus-run-session) and an X server (the offscreen
# platform has no bridge). Starts the screen reader's side of the accessibility bus
# (quirefold-bench-atspi, which starts the accessibility bus and registers for the events a
# screen reader listens to), runs the command on the xcb platform with
# QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1, then ends the listener, which writes what it received
# into EVENTS. Usage: with-bridge.sh LISTENER EVENTS COMMAND...
set -euo pipefail
listener="$1" events="$2"
shift 2
rm -f "$events" "$events.ready"
# The accessibility bus and its registry are started by the session bus, with its environment:
# they need the X server too.
dbus-update-activation-environment DISPLAY XAUTHORITY 2>/dev/null || true
"$listener" "$events" &
pid=$!
for ((i = 0; i < 200; i++)); do
  [ -f "$events.ready" ] && break
  if ! kill -0 "$pid" 2>/dev/null; then
    echo "with-bridge: the accessibility listener did not start" >&2
    exit 1
  fi
  sleep 0.05
done
if [ ! -f "$events.ready" ]; then
  echo "with-bridge: the accessibility listener did not start listening" >&2
  kill "$pid" 2>/dev/null || true
  exit 1
fi
rc=0
QT_QPA_PLATFORM=xcb QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 "$@" || rc=$?
kill -TERM "$pid"
wait "$pid" || rc=1
exit $rc
