#!/usr/bin/env bash
# Benchmark of the shell file list: fill and refresh of a folder of 50,000 files and 500
# subfolders, side by side with `ls -f | grep`. Prints each ratio on a line of its own.
# QUIREFOLD_BUILD_DIR picks the build folder (default: build); RUNS the number of runs.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=${QUIREFOLD_BUILD_DIR:-$root/build}
if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
fi
cmake --build "$build" --target quirefold-bench-list -j2 >/dev/null
work=$(mktemp -d "${TMPDIR:-/tmp}/quirefold-bench-list.XXXXXX")
trap 'rm -rf "$work"' EXIT
QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen} "$build/bin/quirefold-bench-list" "$work" "${RUNS:-7}"
