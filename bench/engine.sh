#!/usr/bin/env bash
# Engine benchmark: how fast quirefold-split cuts big documents compared with plain
# copying (dd) and with a line-based splitter (csplit), and how much memory it needs.
# Usage: bench/run engine. Environment: QUIREFOLD_BUILD_DIR (default build),
# QUIREFOLD_BENCH_RUNS (default 5), TMPDIR (where the test documents go).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"
build="${QUIREFOLD_BUILD_DIR:-build}"
runs="${QUIREFOLD_BENCH_RUNS:-5}"

# ---- build ----
scripts/install-deps.sh
if [ -f "$build/CMakeCache.txt" ]; then
  type=$(sed -n 's/^CMAKE_BUILD_TYPE:[A-Z]*=//p' "$build/CMakeCache.txt")
  case "$type" in
    Release | RelWithDebInfo) cmake -S . -B "$build" >/dev/null ;;
    *) cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null ;;
  esac
else
  cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
fi
cmake --build "$build" -j "$(nproc)" --target quirefold-split quirefold-docgen quirefold-measure >/dev/null
case "$build" in
  /*) bin="$build/bin" ;;
  *) bin="$root/$build/bin" ;;
esac
split="$bin/quirefold-split" docgen="$bin/quirefold-docgen" measure="$bin/quirefold-measure"

# ---- documents, in a temporary folder outside the repository ----
work=$(mktemp -d "${TMPDIR:-/tmp}/quirefold-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT
free_kib=$(df -Pk "$work" | awk 'NR == 2 { print $4 }')
if [ "$free_kib" -lt $((2 * 1024 * 1024)) ]; then
  echo "bench: need 2 GiB free in $work, have $((free_kib / 1024)) MiB" >&2
  exit 1
fi
# The splitter must not touch the user's stored settings.
export XDG_CONFIG_HOME="$work/config"
mkdir -p "$XDG_CONFIG_HOME" "$work/few" "$work/many" "$work/small" "$work/dd" "$work/csplit"
log="$work/log"

few_sections=256 many_sections=16000
echo "Generating documents in $work ($(stat -f -c %T "$work") file system) ..."
"$docgen" --size 256M --sections $few_sections --out "$work/few/doc.html" >/dev/null
"$docgen" --size 256M --sections $many_sections --out "$work/many/doc.html" >/dev/null
"$docgen" --size 16M --sections $few_sections --out "$work/small/doc.html" >/dev/null

# ---- helpers ----
source "$root/bench/common.sh"

split_args=(--defaults --links --breadcrumbs -q doc.html)

# ---- few large sections: quirefold-split against dd ----
echo "Few sections: 256 MiB, $few_sections split headings, $runs runs each ..."
qf_times=() dd_times=() rss_big=0
for ((i = 0; i < runs; i++)); do
  clean_pages "$work/few"
  measure "$work/few" -- "$split" "${split_args[@]}"
  qf_times+=("$secs")
  if [ "$rss_kib" -gt "$rss_big" ]; then rss_big=$rss_kib; fi
  if [ "$i" -eq 0 ]; then check_pages "$work/few" $few_sections; fi
  clean_all "$work/dd"
  measure "$work/dd" -- dd if="$work/few/doc.html" of="$work/dd/copy.html" bs=64K status=none
  dd_times+=("$secs")
done
clean_pages "$work/few"
clean_all "$work/dd"
qf=$(median "${qf_times[@]}") dd=$(median "${dd_times[@]}")
few_ratio=$(ratio "$qf" "$dd")

# ---- many sections: quirefold-split against csplit ----
echo "Many sections: 256 MiB, $many_sections split headings, $runs runs each ..."
qf2_times=() cs_times=()
for ((i = 0; i < runs; i++)); do
  clean_pages "$work/many"
  measure "$work/many" -- "$split" "${split_args[@]}"
  qf2_times+=("$secs")
  if [ "$i" -eq 0 ]; then check_pages "$work/many" $many_sections; fi
  clean_all "$work/csplit"
  measure "$work/csplit" -- csplit -s -z -n 6 "$work/many/doc.html" '/<h[12][ >]/' '{*}'
  cs_times+=("$secs")
done
clean_pages "$work/many"
clean_all "$work/csplit"
qf2=$(median "${qf2_times[@]}") cs=$(median "${cs_times[@]}")
many_ratio=$(ratio "$qf2" "$cs")

# ---- peak memory: a 16 MiB and a 256 MiB document ----
echo "Peak memory: 16 MiB document, $runs runs ..."
rss_small=0
for ((i = 0; i < runs; i++)); do
  clean_pages "$work/small"
  measure "$work/small" -- "$split" "${split_args[@]}"
  if [ "$rss_kib" -gt "$rss_small" ]; then rss_small=$rss_kib; fi
  if [ "$i" -eq 0 ]; then check_pages "$work/small" $few_sections; fi
done
rss_peak=$((rss_big > rss_small ? rss_big : rss_small))
mem_ratio=$(ratio "$rss_peak" $((32 * 1024)))
growth=$(ratio "$rss_big" "$rss_small")
mib() { awk -v k="$1" 'BEGIN { printf "%.1f MiB", k / 1024 }'; }

echo
echo "few-sections: quirefold-split $qf s ($(spread "${qf_times[@]}")), dd $dd s ($(spread "${dd_times[@]}")), median of $runs"
echo "many-sections: quirefold-split $qf2 s ($(spread "${qf2_times[@]}")), csplit $cs s ($(spread "${cs_times[@]}")), median of $runs"
echo "peak-memory: 16 MiB document $(mib "$rss_small"), 256 MiB document $(mib "$rss_big")"
echo
report "few-sections: quirefold-split / dd = $few_ratio (target <= 4)" "$few_ratio" 'v <= 4'
report "many-sections: quirefold-split / csplit = $many_ratio (target < 1)" "$many_ratio" 'v < 1'
report "peak-memory: max RSS / 32 MiB = $mem_ratio (target <= 1)" "$mem_ratio" 'v <= 1'
report "memory-growth: max RSS 256 MiB doc / 16 MiB doc = $growth (target 0.90 to 1.10)" \
  "$growth" 'v >= 0.9 && v <= 1.1'
exit $failed
