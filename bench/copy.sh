#!/usr/bin/env bash
# Copy benchmark: the file list's copy job against cp -a on the same files in the same run, on
# disk: one 2 GiB file, and a tree of 20,000 small files (100 bytes to 16 KiB, 100 to a
# folder). Each case is copied RUNS times by each, taking turns at going first, with the disk
# flushed (sync) before every run; prints the medians and the job's ratio to cp -a (target:
# within 1.2). Every copy of the job is compared with its source.
# Usage: bench/run copy [FOLDER] (default: a folder in $TMPDIR, or /tmp). Environment:
# QUIREFOLD_BUILD_DIR (default build), QUIREFOLD_BENCH_RUNS (default 3), QUIREFOLD_COPY_MIB
# (the big file, default 2048) and QUIREFOLD_COPY_FILES (default 20000) to scale it down.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"
build="${QUIREFOLD_BUILD_DIR:-build}"
runs="${QUIREFOLD_BENCH_RUNS:-3}"
mib="${QUIREFOLD_COPY_MIB:-2048}"
files="${QUIREFOLD_COPY_FILES:-20000}"
parent="${1:-${TMPDIR:-/tmp}}"

# ---- build ----
scripts/install-deps.sh
if [ -f "$build/CMakeCache.txt" ]; then
  cmake -S . -B "$build" >/dev/null
else
  cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
fi
# Quiet unless the build fails: then its messages, not a silent exit.
if ! built=$(cmake --build "$build" -j "$(nproc)" --target quirefold-bench-copy quirefold-measure 2>&1); then
  echo "$built" >&2
  exit 1
fi
case "$build" in
  /*) bin="$build/bin" ;;
  *) bin="$root/$build/bin" ;;
esac
job="$bin/quirefold-bench-copy" measure="$bin/quirefold-measure"

# ---- the files, in a folder of their own ----
work=$(mktemp -d "$parent/quirefold-bench-copy.XXXXXX")
trap 'rm -rf "$work"' EXIT
need_kib=$(((2 * mib + 2 * files * 12 / 1024 + 512) * 1024))
free_kib=$(df -Pk "$work" | awk 'NR == 2 { print $4 }')
if [ "$free_kib" -lt "$need_kib" ]; then
  echo "bench: need $((need_kib / 1024)) MiB free in $work, have $((free_kib / 1024)) MiB" >&2
  exit 1
fi
log="$work/log"
source "$root/bench/common.sh"
mkdir "$work/source"
echo "Making a $mib MiB file and a tree of $files files in $work ($(stat -f -c %T "$work") file system) ..."
dd if=/dev/urandom of="$work/source/big.bin" bs=1M count="$mib" status=none
"$job" make-tree "$work/source/tree" "$files"
sync

# run_case NAME PATH: times cp -a and the job on PATH, compares, reports.
run_case() {
  local name="$1" path="$2" cp_times=() job_times=() i tool
  for i in $(seq "$runs"); do
    for tool in $([ $((i % 2)) = 1 ] && echo "cp job" || echo "job cp"); do
      rm -rf "$work/out"
      mkdir "$work/out"
      sync
      if [ "$tool" = cp ]; then
        measure "$work" -- cp -a "$path" "$work/out/"
        cp_times+=("$secs")
      else
        measure "$work" -- "$job" copy "$path" "$work/out"
        job_times+=("$secs")
        # Every byte and name of what the job made.
        if ! diff -r --no-dereference "$path" "$work/out/$(basename "$path")" >>"$log" 2>&1; then
          echo "bench: the job's copy of $path differs from it (see $log)" >&2
          exit 1
        fi
      fi
    done
  done
  local cp_median job_median
  cp_median=$(median "${cp_times[@]}")
  job_median=$(median "${job_times[@]}")
  echo "  cp -a: ${cp_times[*]}; job: ${job_times[*]}" >>"$log"
  echo "$name: cp -a ${cp_median} s ($(spread "${cp_times[@]}")), job ${job_median} s ($(spread "${job_times[@]}"))"
  report "  job / cp -a = $(ratio "$job_median" "$cp_median") (target <= 1.20)" \
    "$(ratio "$job_median" "$cp_median")" "v <= 1.2"
}

echo "Medians of $runs runs each:"
run_case "one $mib MiB file" "$work/source/big.bin"
run_case "$files small files" "$work/source/tree"
rm -rf "$work/out"
grep "^  cp -a:" "$log" || true
exit "$failed"
