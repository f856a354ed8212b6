#!/usr/bin/env bash
# Desktop program benchmark: a split through the main window against quirefold-split on the
# same documents, start-up with a stored folder of 50,000 files, and peak memory. The main
# window's split is timed from the moment the window is shown (which starts it) to its result;
# quirefold-split as a whole process, its start included.
# Usage: bench/run gui. Environment: QUIREFOLD_BUILD_DIR (default build),
# QUIREFOLD_BENCH_RUNS (default 5), TMPDIR (where the documents go).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"
build="${QUIREFOLD_BUILD_DIR:-build}"
runs="${QUIREFOLD_BENCH_RUNS:-5}"

# ---- build ----
scripts/install-deps.sh
if [ -f "$build/CMakeCache.txt" ]; then
  cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
else
  cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
fi
cmake --build "$build" -j "$(nproc)" \
  --target quirefold-split quirefold-docgen quirefold-measure quirefold-bench-gui >/dev/null
case "$build" in
  /*) bin="$build/bin" ;;
  *) bin="$root/$build/bin" ;;
esac
split="$bin/quirefold-split" docgen="$bin/quirefold-docgen" measure="$bin/quirefold-measure"
gui="$bin/quirefold-bench-gui"
export QT_QPA_PLATFORM="${QT_QPA_PLATFORM:-offscreen}"

work=$(mktemp -d "${TMPDIR:-/tmp}/quirefold-bench-gui.XXXXXX")
trap 'rm -rf "$work"' EXIT
free_kib=$(df -Pk "$work" | awk 'NR == 2 { print $4 }')
if [ "$free_kib" -lt $((2 * 1024 * 1024)) ]; then
  echo "bench: need 2 GiB free in $work, have $((free_kib / 1024)) MiB" >&2
  exit 1
fi
# Both programs read the same stored settings, never the user's own.
export XDG_CONFIG_HOME="$work/config" XDG_RUNTIME_DIR="$work/runtime"
mkdir -p "$XDG_CONFIG_HOME" "$XDG_RUNTIME_DIR" "$work/few" "$work/many" "$work/small" "$work/big"
chmod 700 "$XDG_RUNTIME_DIR"
log="$work/log"

few_sections=256 many_sections=16000
echo "Generating documents in $work ($(stat -f -c %T "$work") file system) ..."
"$docgen" --size 256M --sections $few_sections --out "$work/few/doc.html" >/dev/null
"$docgen" --size 256M --sections $many_sections --out "$work/many/doc.html" >/dev/null
"$docgen" --size 16M --sections $few_sections --out "$work/small/doc.html" >/dev/null

source "$root/bench/common.sh"

# The stored settings both programs split with: links and breadcrumbs on.
"$split" --defaults --links --breadcrumbs --save -q "$work/small/doc.html" >/dev/null
clean_pages "$work/small"

# side_by_side NAME DIR SECTIONS: sets gui_med, cli_med, gui_rss, and prints the ranges.
side_by_side() {
  local name="$1" dir="$2" sections="$3" gui_times=() cli_times=()
  gui_rss=0
  echo "$name: $runs runs of each, side by side ..."
  for ((i = 0; i < runs; i++)); do
    clean_pages "$dir"
    measure "$dir" -- "$split" doc.html
    cli_times+=("$secs")
    if [ "$i" -eq 0 ]; then check_pages "$dir" "$sections"; fi
    clean_pages "$dir"
    measure "$dir" -- "$gui" split "$dir/doc.html" "$work/split-seconds"
    gui_times+=("$(cat "$work/split-seconds")")
    if [ "$rss_kib" -gt "$gui_rss" ]; then gui_rss=$rss_kib; fi
    if [ "$i" -eq 0 ]; then check_pages "$dir" "$sections"; fi
  done
  clean_pages "$dir"
  gui_med=$(median "${gui_times[@]}") cli_med=$(median "${cli_times[@]}")
  echo "  main window $gui_med s ($(spread "${gui_times[@]}")), quirefold-split $cli_med s ($(spread "${cli_times[@]}"))"
}

side_by_side "Few sections (256 MiB, $few_sections headings)" "$work/few" $few_sections
few_ratio=$(ratio "$gui_med" "$cli_med") rss_big=$gui_rss
side_by_side "Many sections (256 MiB, $many_sections headings)" "$work/many" $many_sections
many_ratio=$(ratio "$gui_med" "$cli_med") rss_many=$gui_rss
side_by_side "Small document (16 MiB, $few_sections headings)" "$work/small" $few_sections
rss_small=$gui_rss
rm -f "$work"/*/doc.html

# ---- start-up with the stored folder holding 50,000 files ----
echo "Start-up: a stored folder of 50,000 files (half of them *.html), $runs runs ..."
(cd "$work/big" && seq -f 'page%05g.html' 1 25000 | xargs touch && seq -f 'note%05g.txt' 1 25000 | xargs touch)
cat >"$XDG_CONFIG_HOME/Brisendale Software/Quirefold.reg" <<REG
REGEDIT4

[HKEY_CURRENT_USER\\Software\\Brisendale Software\\Quirefold]
"MRUFolder"="$work/big"

REG
up_times=() ls_times=() empty_times=()
for ((i = 0; i < runs; i++)); do
  measure "$work" -- "$gui" startup
  up_times+=("$secs")
  measure "$work/big" -- sh -c 'ls -f | grep -c html >/dev/null'
  ls_times+=("$secs")
  measure "$work" -- "$gui" empty
  empty_times+=("$secs")
done
up=$(median "${up_times[@]}") lsm=$(median "${ls_times[@]}") empty=$(median "${empty_times[@]}")
up_ratio=$(awk -v u="$up" -v l="$lsm" -v e="$empty" 'BEGIN { printf "%.2f", u / (l + e) }')
echo "  main window $up s ($(spread "${up_times[@]}")), ls -f | grep $lsm s, empty window $empty s"

mib() { awk -v k="$1" 'BEGIN { printf "%.1f MiB", k / 1024 }'; }
growth=$(ratio "$rss_big" "$rss_small")
echo
report "few-sections: main window / quirefold-split = $few_ratio (target <= 1.15)" "$few_ratio" 'v <= 1.15'
report "many-sections: main window / quirefold-split = $many_ratio (target <= 1.15)" "$many_ratio" 'v <= 1.15'
report "start-up: $up s (target under 1 s)" "$up" 'v < 1'
report "start-up / (ls -f | grep + empty window) = $up_ratio (target <= 3)" "$up_ratio" 'v <= 3'
report "peak-memory: 256 MiB split, few sections $(mib "$rss_big") (target <= 120 MiB)" "$rss_big" 'v <= 120 * 1024'
report "peak-memory: 256 MiB split, many sections $(mib "$rss_many") (target <= 120 MiB)" "$rss_many" 'v <= 120 * 1024'
report "memory-growth: 256 MiB / 16 MiB document, same sections = $growth (target 0.90 to 1.10)" "$growth" 'v >= 0.9 && v <= 1.1'
exit $failed
