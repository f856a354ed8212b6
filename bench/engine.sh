#!/usr/bin/env bash
# Engine benchmark: how fast quirefold-split cuts big documents compared with plain
# copying (dd), with writing as many files of the same bytes (split -n, the file system's floor
# for the job) and with a line-based splitter (csplit), how much processor time it spends in
# itself, and how much memory it needs.
# Then, on documents where every section has one anchor and one link to another section,
# quirefold-split --fix-links against the same split without it, and --sidebar --fix-links
# against the same split without either, with what the sidebar adds to each page, and --search
# against the same split without it, with its memory and the size of its index.
# Usage: bench/run engine [all|fix-links|sidebar|search]: everything (the default), or only one
# of the option measurements (about 2 minutes each). Environment: QUIREFOLD_BUILD_DIR (default build),
# QUIREFOLD_BENCH_RUNS (default 5), TMPDIR (where the test documents go).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"
build="${QUIREFOLD_BUILD_DIR:-build}"
runs="${QUIREFOLD_BENCH_RUNS:-5}"
part="${1:-all}"
case "$part" in
  all | fix-links | sidebar | search) ;;
  *)
    echo "usage: bench/run engine [all|fix-links|sidebar|search]" >&2
    exit 2
    ;;
esac

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
# Quiet unless the build fails: then its messages, not a silent exit.
if ! built=$(cmake --build "$build" -j "$(nproc)" --target quirefold-split quirefold-docgen quirefold-measure 2>&1); then
  echo "$built" >&2
  exit 1
fi
case "$build" in
  /*) bin="$build/bin" ;;
  *) bin="$root/$build/bin" ;;
esac
split="$bin/quirefold-split" docgen="$bin/quirefold-docgen" measure="$bin/quirefold-measure"
fix_links=0
if "$split" --help 2>/dev/null | grep -q -- --fix-links; then fix_links=1; fi
if [ "$part" = fix-links ] && [ "$fix_links" -eq 0 ]; then
  echo "bench: $split has no --fix-links option" >&2
  exit 1
fi
sidebar=0
if "$split" --help 2>/dev/null | grep -q -- --sidebar; then sidebar=$fix_links; fi
if [ "$part" = sidebar ] && [ "$sidebar" -eq 0 ]; then
  echo "bench: $split has no --sidebar option" >&2
  exit 1
fi
search=0
if "$split" --help 2>/dev/null | grep -q -- --search; then search=$fix_links; fi
if [ "$part" = search ] && [ "$search" -eq 0 ]; then
  echo "bench: $split has no --search option" >&2
  exit 1
fi

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
mkdir -p "$XDG_CONFIG_HOME" "$work/few" "$work/many" "$work/small" "$work/dd" "$work/split" \
  "$work/csplit"
log="$work/log"

# ---- helpers ----
source "$root/bench/common.sh"
# On a disk, every run writes into a folder made anew (see common.sh).
if [ "$(stat -f -c %T "$work")" != tmpfs ]; then
  fresh_dirs=1
  chattr +T "$work" 2>/dev/null || true
fi

split_args=(--defaults --links --breadcrumbs -q doc.html)
mib() { awk -v k="$1" 'BEGIN { printf "%.1f MiB", k / 1024 }'; }

few_sections=256 many_sections=16000
if [ "$part" = all ]; then
  echo "Generating documents in $work ($(stat -f -c %T "$work") file system) ..."
  "$docgen" --size 256M --sections $few_sections --out "$work/few/doc.html" >/dev/null
  "$docgen" --size 256M --sections $many_sections --out "$work/many/doc.html" >/dev/null
  "$docgen" --size 16M --sections $few_sections --out "$work/small/doc.html" >/dev/null

  # ---- few large sections: quirefold-split against dd and split -n ----
  # split -n writes the document into as many files (the pages and the index) of the same bytes:
  # what the file system needs at the least for this job.
  echo "Few sections: 256 MiB, $few_sections split headings, $runs runs each ..."
  qf_times=() qf_user=() qf_sys=() dd_times=() sp_times=() sp_sys=() rss_big=0
  for ((i = 0; i < runs; i++)); do
    clean_pages "$work/few"
    measure "$work/few" -- "$split" "${split_args[@]}"
    qf_times+=("$secs") qf_user+=("$user_secs") qf_sys+=("$sys_secs")
    if [ "$rss_kib" -gt "$rss_big" ]; then rss_big=$rss_kib; fi
    if [ "$i" -eq 0 ]; then check_pages "$work/few" $few_sections; fi
    clean_all "$work/dd"
    measure "$work/dd" -- dd if="$work/few/doc.html" of="$work/dd/copy.html" bs=64K status=none
    dd_times+=("$secs")
    clean_all "$work/split"
    measure "$work/split" -- split -n $((few_sections + 1)) "$work/few/doc.html"
    sp_times+=("$secs") sp_sys+=("$sys_secs")
  done
  clean_pages "$work/few"
  clean_all "$work/dd"
  clean_all "$work/split"
  qf=$(median "${qf_times[@]}") dd=$(median "${dd_times[@]}") sp=$(median "${sp_times[@]}")
  qf_cpu=$(median "${qf_user[@]}")
  few_ratio=$(ratio "$qf" "$dd") floor_ratio=$(ratio "$qf" "$sp")

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

  echo
  echo "few-sections: quirefold-split $qf s ($(spread "${qf_times[@]}")), dd $dd s ($(spread "${dd_times[@]}")), split -n $sp s ($(spread "${sp_times[@]}")), median of $runs"
  echo "few-sections processor time: quirefold-split user $qf_cpu s ($(spread "${qf_user[@]}")), system $(median "${qf_sys[@]}") s; split -n system $(median "${sp_sys[@]}") s"
  echo "many-sections: quirefold-split $qf2 s ($(spread "${qf2_times[@]}")), csplit $cs s ($(spread "${cs_times[@]}")), median of $runs"
  echo "peak-memory: 16 MiB document $(mib "$rss_small"), 256 MiB document $(mib "$rss_big")"
  echo
  report "few-sections: quirefold-split / dd = $few_ratio (target <= 4)" "$few_ratio" 'v <= 4'
  report "few-sections: quirefold-split / split -n = $floor_ratio (target <= 1.25)" "$floor_ratio" 'v <= 1.25'
  report "few-sections: quirefold-split user time = $qf_cpu s (target <= 0.08)" "$qf_cpu" 'v <= 0.08'
  report "many-sections: quirefold-split / csplit = $many_ratio (target <= 1.05)" "$many_ratio" 'v <= 1.05'
  report "peak-memory: max RSS / 32 MiB = $mem_ratio (target <= 1)" "$mem_ratio" 'v <= 1'
  report "memory-growth: max RSS 256 MiB doc / 16 MiB doc = $growth (target 0.90 to 1.10)" \
    "$growth" 'v >= 0.9 && v <= 1.1'
fi

# ---- cross-page links: the same split with and without --fix-links ----
fix_target=2.2
# Every section links to another one, so no link to a bare "#sN" may stay behind, and every
# one of them must now lead to a page.
check_links() { # DIR SECTIONS
  local left fixed
  left=$(find "$1" -maxdepth 1 -name 'doc[0-9][0-9][0-9]*.html' -exec cat {} + | grep -c 'href="#s' || true)
  fixed=$(find "$1" -maxdepth 1 -name 'doc[0-9][0-9][0-9]*.html' -exec cat {} + |
    grep -Eo 'href="doc[0-9]{3,}\.html#s[0-9]+"' | wc -l || true)
  if [ "$left" -ne 0 ] || [ "$fixed" -lt "$2" ]; then
    echo "bench: expected $2 links led to their pages in $1, found $fixed and $left left as they were" >&2
    exit 1
  fi
}

# The pages' sizes, by name, in a file.
page_sizes() { # DIR OUT
  find "$1" -maxdepth 1 -name 'doc[0-9][0-9][0-9]*.html' ! -name 'doc000.html' -printf '%f %s\n' |
    sort >"$2"
}

# option_run NAME SECTIONS OPTION...: the split with the options against the same without them.
# Sets fix_on, fix_off (medians), fix_ratio, the *_times and rss.
option_run() {
  local dir="$work/fix-$1" sections=$2 i mode
  shift 2
  local options=("$@")
  echo "${options[*]}, $(basename "$dir" | sed 's/^fix-//') sections: 256 MiB, $sections split headings, $runs runs each ..."
  fix_on_times=() fix_off_times=() fix_on_rss=0 fix_off_rss=0
  # Untimed: the first pages in a fresh folder are created faster than those of every later run.
  measure "$dir" -- "$split" "${split_args[@]}"
  check_pages "$dir" "$sections"
  for ((i = 0; i < runs; i++)); do
    # Alternate which goes first, so a drift of the machine does not favour one.
    for mode in $((i % 2)) $(((i + 1) % 2)); do
      clean_pages "$dir"
      if [ "$mode" -eq 0 ]; then
        measure "$dir" -- "$split" "${options[@]}" "${split_args[@]}"
        fix_on_times+=("$secs")
        if [ "$rss_kib" -gt "$fix_on_rss" ]; then fix_on_rss=$rss_kib; fi
        if [ "$i" -eq 0 ]; then
          check_pages "$dir" "$sections"
          case " ${options[*]} " in *" --fix-links "*) check_links "$dir" "$sections" ;; esac
          page_sizes "$dir" "$work/sizes-with"
          index_bytes=$(stat -c %s "$dir/docsearch.js" 2>/dev/null || echo 0)
        fi
      else
        measure "$dir" -- "$split" "${split_args[@]}"
        fix_off_times+=("$secs")
        if [ "$rss_kib" -gt "$fix_off_rss" ]; then fix_off_rss=$rss_kib; fi
        if [ "$i" -eq 0 ]; then page_sizes "$dir" "$work/sizes-without"; fi
      fi
    done
  done
  clean_pages "$dir"
  fix_on=$(median "${fix_on_times[@]}") fix_off=$(median "${fix_off_times[@]}")
  fix_ratio=$(ratio "$fix_on" "$fix_off")
  # What the options add to a page: the largest and the mean growth.
  growth_line=$(join "$work/sizes-with" "$work/sizes-without" |
    awk '{ d = $2 - $3; if (d > max) max = d; sum += d; n++ }
         END { printf "pages grow by %.1f KiB at most, %.1f KiB on average", max / 1024, sum / n / 1024 }')
  max_growth_kib=$(join "$work/sizes-with" "$work/sizes-without" |
    awk '{ d = $2 - $3; if (d > max) max = d } END { printf "%.1f", max / 1024 }')
}

if { [ "$fix_links" -eq 1 ] && { [ "$part" = all ] || [ "$part" = fix-links ]; }; } ||
  { [ "$sidebar" -eq 1 ] && { [ "$part" = all ] || [ "$part" = sidebar ]; }; } ||
  { [ "$search" -eq 1 ] && { [ "$part" = all ] || [ "$part" = search ]; }; }; then
  # The documents of the other measurements are done with; make room for these.
  rm -rf "$work/few" "$work/many" "$work/small" "$work/dd" "$work/csplit"
  mkdir -p "$work/fix-few" "$work/fix-many"
  echo
  echo "Generating documents with cross-page links in $work ($(stat -f -c %T "$work") file system) ..."
  "$docgen" --size 256M --sections $few_sections --cross-links --out "$work/fix-few/doc.html" >/dev/null
  "$docgen" --size 256M --sections $many_sections --cross-links --out "$work/fix-many/doc.html" >/dev/null

fi
if [ "$fix_links" -eq 1 ] && { [ "$part" = all ] || [ "$part" = fix-links ]; }; then
  option_run few $few_sections --fix-links
  few_line="fix-links-few: with $fix_on s ($(spread "${fix_on_times[@]}")), without $fix_off s ($(spread "${fix_off_times[@]}")), median of $runs; peak memory $(mib "$fix_on_rss") with, $(mib "$fix_off_rss") without"
  few_fix_ratio=$fix_ratio
  option_run many $many_sections --fix-links
  many_line="fix-links-many: with $fix_on s ($(spread "${fix_on_times[@]}")), without $fix_off s ($(spread "${fix_off_times[@]}")), median of $runs; peak memory $(mib "$fix_on_rss") with, $(mib "$fix_off_rss") without"
  many_fix_ratio=$fix_ratio

  echo
  echo "$few_line"
  echo "$many_line"
  echo
  report "fix-links-few: quirefold-split --fix-links / without = $few_fix_ratio (target <= $fix_target)" \
    "$few_fix_ratio" "v <= $fix_target"
  report "fix-links-many: quirefold-split --fix-links / without = $many_fix_ratio (target <= $fix_target)" \
    "$many_fix_ratio" "v <= $fix_target"
elif [ "$part" = all ] || [ "$part" = fix-links ]; then
  echo
  echo "fix-links: $split has no --fix-links option; not measured"
fi

# ---- the contents beside every page: --sidebar (with --fix-links) against a plain split ----
if [ "$sidebar" -eq 1 ] && { [ "$part" = all ] || [ "$part" = sidebar ]; }; then
  sidebar_target=2.2
  option_run few $few_sections --sidebar --fix-links
  few_side_ratio=$fix_ratio
  few_line="sidebar-few: with $fix_on s ($(spread "${fix_on_times[@]}")), without $fix_off s ($(spread "${fix_off_times[@]}")), median of $runs; peak memory $(mib "$fix_on_rss") with, $(mib "$fix_off_rss") without; $growth_line"
  few_growth=$max_growth_kib
  option_run many $many_sections --sidebar --fix-links
  many_side_ratio=$fix_ratio
  many_line="sidebar-many: with $fix_on s ($(spread "${fix_on_times[@]}")), without $fix_off s ($(spread "${fix_off_times[@]}")), median of $runs; peak memory $(mib "$fix_on_rss") with, $(mib "$fix_off_rss") without; $growth_line"
  many_growth=$max_growth_kib

  echo
  echo "$few_line"
  echo "$many_line"
  echo
  report "sidebar-few: quirefold-split --sidebar --fix-links / plain = $few_side_ratio (target <= $sidebar_target)" \
    "$few_side_ratio" "v <= $sidebar_target"
  report "sidebar-many: quirefold-split --sidebar --fix-links / plain = $many_side_ratio (target <= $sidebar_target)" \
    "$many_side_ratio" "v <= $sidebar_target"
  report "sidebar-growth: largest page growth $few_growth KiB / $many_growth KiB (target <= 32)" \
    "$many_growth" "v <= 32 && $few_growth <= 32"
fi

# ---- search: --search against the same split without it ----
if [ "$search" -eq 1 ] && { [ "$part" = all ] || [ "$part" = search ]; }; then
  search_target=2.5 search_memory_mib=200
  option_run few $few_sections --search
  few_search_ratio=$fix_ratio few_search_rss=$fix_on_rss
  few_index=$index_bytes
  few_line="search-few: with $fix_on s ($(spread "${fix_on_times[@]}")), without $fix_off s ($(spread "${fix_off_times[@]}")), median of $runs; peak memory $(mib "$fix_on_rss") with, $(mib "$fix_off_rss") without; index $(mib $((few_index / 1024)))"
  option_run many $many_sections --search
  many_search_ratio=$fix_ratio many_search_rss=$fix_on_rss
  many_index=$index_bytes
  many_line="search-many: with $fix_on s ($(spread "${fix_on_times[@]}")), without $fix_off s ($(spread "${fix_off_times[@]}")), median of $runs; peak memory $(mib "$fix_on_rss") with, $(mib "$fix_off_rss") without; index $(mib $((many_index / 1024)))"
  search_rss=$((few_search_rss > many_search_rss ? few_search_rss : many_search_rss))

  echo
  echo "$few_line"
  echo "$many_line"
  echo
  report "search-few: quirefold-split --search / plain = $few_search_ratio (target <= $search_target)" \
    "$few_search_ratio" "v <= $search_target"
  report "search-many: quirefold-split --search / plain = $many_search_ratio (target <= $search_target)" \
    "$many_search_ratio" "v <= $search_target"
  report "search-memory: peak $(mib "$search_rss") (target < $search_memory_mib MiB)" \
    "$search_rss" "v < $search_memory_mib * 1024"
fi

exit $failed
