#!/usr/bin/env bash
# Desktop program benchmark: a split through the main window against quirefold-split on the
# same documents, start-up with a stored folder of 50,000 files, and peak memory. The main
# window's split is timed from the moment the window is shown (which starts it) to its result;
# quirefold-split as a whole process, its start included. Then the same with the accessibility
# bridge on, as for every screen reader user (see bench/gui/with-bridge.sh): batches through the
# Split! button in the folder the window shows, against quirefold-split, and the window's memory
# over three batches.
# Usage: bench/run gui [bridge] (bridge: only the runs with the bridge). Environment:
# QUIREFOLD_BUILD_DIR (default build), QUIREFOLD_BENCH_RUNS (default 5), TMPDIR (where the
# documents go).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"
build="${QUIREFOLD_BUILD_DIR:-build}"
runs="${QUIREFOLD_BENCH_RUNS:-5}"
part="${1:-all}"
case "$part" in
  all | bridge) ;;
  *) echo "usage: bench/run gui [bridge]" >&2; exit 2 ;;
esac

# ---- build ----
scripts/install-deps.sh
if [ -f "$build/CMakeCache.txt" ]; then
  cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
else
  cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
fi
# Quiet unless the build fails: then its messages, not a silent exit.
if ! built=$(cmake --build "$build" -j "$(nproc)" \
  --target quirefold-split quirefold-docgen quirefold-measure quirefold-bench-gui \
  quirefold-bench-atspi 2>&1); then
  echo "$built" >&2
  exit 1
fi
case "$build" in
  /*) bin="$build/bin" ;;
  *) bin="$root/$build/bin" ;;
esac
split="$bin/quirefold-split" docgen="$bin/quirefold-docgen" measure="$bin/quirefold-measure"
gui="$bin/quirefold-bench-gui" atspi="$bin/quirefold-bench-atspi"
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
mkdir -p "$XDG_CONFIG_HOME" "$XDG_RUNTIME_DIR" "$work/few" "$work/many" "$work/small" "$work/big" \
  "$work/bridge"
chmod 700 "$XDG_RUNTIME_DIR"
log="$work/log"

few_sections=256 many_sections=16000
echo "Generating documents in $work ($(stat -f -c %T "$work") file system) ..."
"$docgen" --size 16M --sections $few_sections --out "$work/small/doc.html" >/dev/null
if [ "$part" = all ]; then
  "$docgen" --size 256M --sections $few_sections --out "$work/few/doc.html" >/dev/null
  "$docgen" --size 256M --sections $many_sections --out "$work/many/doc.html" >/dev/null
fi

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

if [ "$part" = all ]; then
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
fi

# ---- with the accessibility bridge on ----
# Each window run: an X server (the offscreen platform has no bridge), a session bus with the
# accessibility bus, and a listener registered for the events a screen reader listens to (Qt's
# bridge sends only those someone listens to). In the window, three batches: a screen reader has
# read the list's items (as a user going through them has), the document is selected and
# Split! pressed, the 1,001 new pages arrive in the folder the window shows, and go again. The
# window's time for a batch is the split (click to result) and the list's work to show the new
# pages; its memory is measured once the pages are gone, after each batch.
bridge_dir="$work/bridge" bridge_sections=1000 bridge_older=2000
clean_doc_pages() { find "$1" -maxdepth 1 -name 'doc[0-9]*' -delete; sync; }
"$docgen" --size 191M --sections $bridge_sections --out "$bridge_dir/doc.html" >/dev/null
# The folder already holds the pages of earlier splits.
(cd "$bridge_dir" && seq -f 'older%04g.html' 1 $bridge_older | xargs touch)
echo "With the accessibility bridge (191 MiB, $bridge_sections headings, $bridge_older other" \
  "files in the folder): $runs times 3 runs of quirefold-split and $runs windows of 3 batches ..."
bridge_cli=() bridge_window=() bridge_split=() bridge_list=() bridge_rss=() bridge_heap=()
events_inserted=0
for ((i = 0; i < runs; i++)); do
  # quirefold-split in the same rhythm as the window's batches: three in a row, the pages moved
  # out of the folder between them. Moved, not deleted: ext4 skips inodes freed in the last half
  # minute when it makes a file, and whichever run came after a deletion would pay for it (a
  # third of the window's split time in a profile when the pages were deleted).
  clean_doc_pages "$bridge_dir"
  for ((b = 0; b < 3; b++)); do
    measure "$bridge_dir" -- "$split" doc.html
    bridge_cli+=("$secs")
    if [ "$i" -eq 0 ] && [ "$b" -eq 0 ]; then check_pages "$bridge_dir" $bridge_sections; fi
    mkdir -p "$bridge_dir-moved/cli-$i-$b"
    find "$bridge_dir" -maxdepth 1 -name 'doc[0-9]*' -exec mv -t "$bridge_dir-moved/cli-$i-$b" {} +
    # Emptied, so that the disk space comes back while the inodes stay taken.
    find "$bridge_dir-moved/cli-$i-$b" -type f -exec truncate -s 0 {} +
  done
  if ! xvfb-run -a -s "-screen 0 1280x1024x24 -nolisten tcp" dbus-run-session -- \
    "$root/bench/gui/with-bridge.sh" "$atspi" "$work/events" \
    "$gui" batches "$bridge_dir/doc.html" $bridge_sections 3 "$work/batches" >>"$log" 2>&1; then
    echo "bench: the window run with the accessibility bridge failed:" >&2
    tail -n 20 "$log" >&2
    exit 1
  fi
  if [ "$(head -n 1 "$work/batches")" != "bridge 1" ]; then
    echo "bench: the window ran without the accessibility bridge" >&2
    exit 1
  fi
  inserted=$(awk '$1 == "Object:TextChanged:insert" { print $2 }' "$work/events")
  events_inserted=$((events_inserted + ${inserted:-0}))
  while read -r split_s list_s rss_k heap_k; do
    bridge_split+=("$split_s") bridge_list+=("$list_s")
    bridge_window+=("$(awk -v a="$split_s" -v b="$list_s" 'BEGIN { printf "%.4f", a + b }')")
    if [ "$i" -eq 0 ]; then bridge_rss+=("$rss_k") bridge_heap+=("$heap_k"); fi
  done < <(tail -n +2 "$work/batches")
done
clean_doc_pages "$bridge_dir"
rm -rf "$bridge_dir/doc.html" "$bridge_dir-moved"
bridge_window_med=$(median "${bridge_window[@]}") bridge_cli_med=$(median "${bridge_cli[@]}")
bridge_ratio=$(ratio "$bridge_window_med" "$bridge_cli_med")
echo "  main window $bridge_window_med s a batch ($(spread "${bridge_window[@]}")): split" \
  "$(median "${bridge_split[@]}") s, list $(median "${bridge_list[@]}") s;" \
  "quirefold-split $bridge_cli_med s ($(spread "${bridge_cli[@]}"))"
echo "  the listener received $events_inserted text-inserted events from the status pane"
rss_growth=$((bridge_rss[2] - bridge_rss[0])) heap_growth=$((bridge_heap[2] - bridge_heap[0]))

mib() { awk -v k="$1" 'BEGIN { printf "%.1f MiB", k / 1024 }'; }
echo
if [ "$part" = all ]; then
  growth=$(ratio "$rss_big" "$rss_small")
  report "few-sections: main window / quirefold-split = $few_ratio (target <= 1.15)" "$few_ratio" 'v <= 1.15'
  report "many-sections: main window / quirefold-split = $many_ratio (target <= 1.15)" "$many_ratio" 'v <= 1.15'
  report "start-up: $up s (target under 1 s)" "$up" 'v < 1'
  report "start-up / (ls -f | grep + empty window) = $up_ratio (target <= 3)" "$up_ratio" 'v <= 3'
  report "peak-memory: 256 MiB split, few sections $(mib "$rss_big") (target <= 120 MiB)" "$rss_big" 'v <= 120 * 1024'
  report "peak-memory: 256 MiB split, many sections $(mib "$rss_many") (target <= 120 MiB)" "$rss_many" 'v <= 120 * 1024'
  report "memory-growth: 256 MiB / 16 MiB document, same sections = $growth (target 0.90 to 1.10)" "$growth" 'v >= 0.9 && v <= 1.1'
fi
report "bridge: main window / quirefold-split = $bridge_ratio (target <= 1.15)" "$bridge_ratio" 'v <= 1.15'
report "bridge: text-inserted events from the status pane = $events_inserted (target > 0)" "$events_inserted" 'v > 0'
report "bridge-memory: resident after batches 1, 2, 3: $(mib "${bridge_rss[0]}"), $(mib "${bridge_rss[1]}"), $(mib "${bridge_rss[2]}"); growth $(mib "$rss_growth") (target flat: within 1 MiB)" "$rss_growth" 'v <= 1024'
report "bridge-memory: heap in use after batches 1, 2, 3: $(mib "${bridge_heap[0]}"), $(mib "${bridge_heap[1]}"), $(mib "${bridge_heap[2]}"); growth $(mib "$heap_growth") (target flat: within 1 MiB)" "$heap_growth" 'v <= 1024'
exit $failed
