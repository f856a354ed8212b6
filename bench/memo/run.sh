#!/usr/bin/env bash
# Status pane benchmark: 80,000 lines of about 90 characters in batches of 250, the event loop
# run after each batch, into TStatusMemo and into a QPlainTextEdit. Prints both processor times
# and their ratio. Usage: bench/run memo [LINES [BATCH [RUNS]]].
# QUIREFOLD_BUILD_DIR picks the build folder (default: build).
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=${QUIREFOLD_BUILD_DIR:-$root/build}
if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
fi
cmake --build "$build" --target quirefold-bench-memo -j2 >/dev/null
runtime=$(mktemp -d "${TMPDIR:-/tmp}/quirefold-bench-memo.XXXXXX")
trap 'rm -rf "$runtime"' EXIT
chmod 700 "$runtime"
XDG_RUNTIME_DIR="$runtime" QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen} \
  "$build/bin/quirefold-bench-memo" "${1:-80000}" "${2:-250}" "${3:-5}"
