#!/usr/bin/env bash
# Cross-builds the parts without Qt (engine, settings store, version information,
# quirefold-split, their tests and the replay of the fuzz inputs) for Windows with mingw-w64,
# then runs the tests and a real split of the example under Wine: headless, in a private Wine
# prefix that is removed at the end. When the Linux build's quirefold-split exists (build/,
# made by scripts/test.sh), the pages of both are compared byte for byte.
# QUIREFOLD_WIN_BUILD_DIR names another build folder than build-win/, QUIREFOLD_LINUX_BUILD_DIR
# another Linux build than build/.
set -euo pipefail
cd "$(dirname "$0")/.."
started=$(date +%s)

# Debian has no GoogleTest built for mingw: the build compiles it from the googletest sources.
pkgs=(cmake ninja-build g++-mingw-w64-x86-64-posix wine wine64 googletest)
missing=()
for p in "${pkgs[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  echo "Installing: ${missing[*]}"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends \
    "${missing[@]}" >/dev/null
fi

build="${QUIREFOLD_WIN_BUILD_DIR:-build-win}"
jobs=$(nproc)
cmake -S . -B "$build" -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUIREFOLD_BUILD_GUI=OFF \
  -DQUIREFOLD_GTEST_SOURCE_DIR=/usr/src/googletest >/dev/null
# The test programs without Qt; each labels its cases with its name.
programs=(engine_tests settings_tests app_tests fuzz_engine_tests fuzz_settings_tests
  fuzz_app_tests bench_tests)
cmake --build "$build" -j "$jobs" --target quirefold-split "${programs[@]}"
built=$(date +%s)

# A private, headless Wine: no display, no debug output, no offer to install Mono or Gecko.
work=$(mktemp -d "${TMPDIR:-/tmp}/quirefold-wine.XXXXXX")
export WINEPREFIX="$work/prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree=;mshtml=" DISPLAY=
unset WAYLAND_DISPLAY
cleanup() {
  wineserver -k >/dev/null 2>&1 || true
  rm -rf "$work"
}
trap cleanup EXIT
fail() {
  echo "test-windows: $*" >&2
  exit 1
}
# One server for every Wine process that follows, instead of one start per program; it
# cannot be made persistent once it runs.
mkdir -p "$WINEPREFIX"
wineserver -p
wine wineboot -i </dev/null >/dev/null 2>&1
booted=$(date +%s)

labels=$(IFS='|'; echo "${programs[*]}")
# Under load a Wine process now and then dies before its first line (seen once: 0.00 s, no
# output, the same test passing on every rerun). The failed tests run once more, one at a time
# and with Wine's error messages, and the run names them; a real fault fails both times.
if ! ctest --test-dir "$build" -j "$jobs" --output-on-failure -L "^($labels)\$" </dev/null; then
  echo "test-windows: running the failed tests once more" >&2
  WINEDEBUG=fixme-all ctest --test-dir "$build" --rerun-failed --output-on-failure </dev/null ||
    fail "tests failed twice under Wine"
  echo "test-windows: the failed tests passed on the second run" >&2
fi
tested=$(date +%s)

# A real split of the example by the Windows program, with every option that writes more
# than the pages: link bars with images (copied beside the pages), breadcrumbs, the frameset.
options=(--defaults --links --images --breadcrumbs --breadcrumbs-text=You-are-here: --navigation
  --break-on=3)
mkdir "$work/win"
cp examples/manual.html "$work/win/"
# The result is handed to ShellExecute; a handler of our own for .html files keeps a copy of
# what it was given.
wine reg add 'HKCR\.html' /ve /d Quirefold.TestPage /f </dev/null >/dev/null 2>&1
wine reg add 'HKCR\Quirefold.TestPage\shell\open\command' /ve \
  /d 'C:\windows\system32\cmd.exe /c copy "%1" C:\opened.html' /f </dev/null >/dev/null 2>&1
source=$(wine winepath -w "$work/win/manual.html" 2>/dev/null </dev/null | tr -d '\r')
wine "$build/bin/quirefold-split.exe" "${options[@]}" --open "$source" \
  </dev/null >"$work/win-split.log" 2>&1 || status=$?
if [ "${status:-0}" -ne 0 ] || ! grep -q '^Splitting is complete\.' "$work/win-split.log"; then
  cat "$work/win-split.log" >&2
  fail "the split under Wine failed"
fi

# ShellExecute runs its handler in a process of its own; give it a moment.
opened="$WINEPREFIX/drive_c/opened.html"
for _ in $(seq 50); do
  [ -s "$opened" ] && break
  sleep 0.2
done
cmp -s "$opened" "$work/win/manualfs.html" || fail "ShellExecute was not given the frameset page"

# The settings key is named from the program's version resource.
key='HKCU\Software\Brisendale Software\Quirefold'
folder="${source%\\*}"
wine reg query "$key" /v MRUFolder </dev/null 2>/dev/null | tr -d '\r' |
  grep -F "MRUFolder    REG_SZ    $folder" >/dev/null || fail "MRUFolder is not $folder in $key"
wine "$build/bin/quirefold-split.exe" --defaults --break-on=1 --no-links --save \
  </dev/null >/dev/null 2>&1 || fail "--save failed"
wine reg query "$key" /v BreakOn </dev/null 2>/dev/null | tr -d '\r' |
  grep -F "BreakOn    REG_DWORD    0x1" >/dev/null || fail "BreakOn was not stored as a REG_DWORD 1"
wine reg query "$key" /v NoLinks </dev/null 2>/dev/null | tr -d '\r' |
  grep -F "NoLinks    REG_DWORD    0x0" >/dev/null || fail "NoLinks was not stored as a REG_DWORD 0"

pages=$(find "$work/win" -name 'manual*.html' ! -name manual.html | wc -l)
[ "$pages" -gt 2 ] || fail "only $pages pages were written"
for image in prev1.gif home1.gif next1.gif; do
  cmp -s "$build/bin/$image" "$work/win/$image" || fail "$image was not copied beside the pages"
done

linux_split="${QUIREFOLD_LINUX_BUILD_DIR:-build}/bin/quirefold-split"
if [ -x "$linux_split" ]; then
  mkdir "$work/linux"
  cp examples/manual.html "$work/linux/"
  XDG_CONFIG_HOME="$work/linux-config" "$linux_split" "${options[@]}" --quiet \
    "$work/linux/manual.html" || fail "the Linux split failed"
  # The same files, and each page the same bytes.
  diff <(cd "$work/linux" && ls) <(cd "$work/win" && ls) >&2 ||
    fail "the Windows split wrote other files than the Linux split"
  for page in "$work"/linux/manual*.html; do
    cmp "$page" "$work/win/$(basename "$page")" >&2 ||
      fail "$(basename "$page") differs between the Linux and the Windows split"
  done
  echo "The $pages pages of the Windows split match the Linux split byte for byte."
else
  echo "No Linux quirefold-split in ${linux_split%/bin/*}/: the pages were not compared with the Linux split."
fi
finished=$(date +%s)

echo "Windows build and tests passed: build $((built - started)) s, Wine prefix" \
  "$((booted - built)) s, tests $((tested - booted)) s, split $((finished - tested)) s," \
  "$((finished - started)) s in all."
