#!/usr/bin/env bash
# Builds Quirefold and starts the desktop program on the bundled example manual, which it
# splits into linked pages at once and opens in the browser. Without a display it says so
# and splits the example with quirefold-split instead, then says where to point a browser.
# It builds the two programs and their link images only, in a folder of their own (no tests,
# fuzzing or benchmarks), so a first run takes a few minutes on two cores.
# Output: build-example/example-output/ (made afresh on every run).
# QUIREFOLD_BUILD_DIR names another build folder than build-example/.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh

build="${QUIREFOLD_BUILD_DIR:-build-example}"
mkdir -p "$build"
build="$(cd "$build" && pwd)"
out="$build/example-output"
buildlog="$build/example-build.log"
echo "Building Quirefold in $build (log: $buildlog) ..."
configure=(cmake -S . -B "$build")
# A new folder gets the programs only; keep whatever an existing build folder was made with.
[ -f "$build/CMakeCache.txt" ] ||
  configure+=(-G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUIREFOLD_BUILD_TESTS=OFF
    -DQUIREFOLD_FUZZ=OFF -DQUIREFOLD_BUILD_BENCH=OFF)
targets=(quirefold-split)
if grep -q '^QUIREFOLD_BUILD_GUI:BOOL=ON' "$build/CMakeCache.txt" 2>/dev/null ||
  [ ! -f "$build/CMakeCache.txt" ]; then
  targets+=(quirefold)
fi
if ! { "${configure[@]}" && cmake --build "$build" -j"$(nproc)" --target "${targets[@]}"; } \
  >"$buildlog" 2>&1; then
  tail -n 30 "$buildlog" >&2
  echo "run-example: the build failed; see $buildlog" >&2
  exit 1
fi

# Only the example goes into the output folder, so every file there came from this split.
rm -rf "$out"
mkdir -p "$out"
cp examples/manual.html "$out/"

# A private settings folder: the user's own Quirefold settings stay untouched.
export XDG_CONFIG_HOME="$build/example-config"
mkdir -p "$XDG_CONFIG_HOME"

# The example's settings: link bars, breadcrumbs and the navigation pane.
example_settings=(--defaults --links --breadcrumbs --breadcrumbs-text "You are here:" --navigation)

if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ] && [ -x "$build/bin/quirefold" ]; then
  "$build/bin/quirefold-split" "${example_settings[@]}" --save
  echo "Starting the desktop program on $out/manual.html ..."
  echo "It splits the manual at once; the pages go to $out/ and the browser opens the frameset."
  echo "(Settings of this example are kept in $XDG_CONFIG_HOME; close the window to end.)"
  exec "$build/bin/quirefold" "$out/manual.html"
fi
if [ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  echo "No display here: the desktop program needs one, so the command-line splitter runs"
  echo "the example instead."
fi

echo "Splitting examples/manual.html ..."
splitlog="$build/example-split.log"
status=0
"$build/bin/quirefold-split" "${example_settings[@]}" "$out/manual.html" >"$splitlog" 2>&1 ||
  status=$?
index="$out/manual000.html"
frameset="$out/manualfs.html"
if [ "$status" -ne 0 ] || [ ! -f "$index" ] || [ ! -f "$frameset" ]; then
  cat "$splitlog" >&2
  echo "run-example: the split failed (exit code $status)" >&2
  exit 1
fi

pages=$(find "$out" -maxdepth 1 -name 'manual[0-9][0-9][0-9]*.html' ! -name 'manual000.html' | wc -l)
echo
echo "The example manual was split into $pages pages in $out/"
echo "  Frameset (index on the left, pages on the right): $frameset"
echo "  Index page:                                       $index"
echo "  First page:                                       $out/manual001.html"
echo "Open one of them in a web browser, e.g.: xdg-open '$frameset'"
