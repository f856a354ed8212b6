#!/usr/bin/env bash
# Builds the fuzz targets (clang, libFuzzer, AddressSanitizer, UndefinedBehaviorSanitizer) and
# runs each for SECONDS (default 60), one after another, printing the inputs run and the
# findings per target. Usage: scripts/fuzz.sh [SECONDS] [TARGET...]
# Findings (crash-*, leak-*, timeout-*, oom-*) are saved under build-fuzz/findings/<target>/;
# the corpus each target grew stays in build-fuzz/corpus/<target>/, seeded from fuzz/corpus/.
# Exit status 1 when any target found something.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
shift || true
all=(engine markup links keyfile splitoptions idlist preview)
targets=("${@:-${all[@]}}")
build=${QUIREFOLD_FUZZ_BUILD:-build-fuzz}

# clang-14 and its sanitizer and libFuzzer runtimes, besides what every build needs.
scripts/install-deps.sh
if [ ! -f "$build/CMakeCache.txt" ]; then
  CC=clang-14 CXX=clang++-14 cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DQUIREFOLD_FUZZ=ON -DQUIREFOLD_BUILD_TESTS=OFF >/dev/null
fi
cmake --build "$build" -j "$(nproc)" --target "${targets[@]/#/fuzz_}"

# Undefined behaviour aborts; leaks are findings too.
export ASAN_OPTIONS=${ASAN_OPTIONS:-abort_on_error=1:detect_leaks=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
status=0
printf '%-14s %12s %10s  %s\n' target executions findings "saved in"
for t in "${targets[@]}"; do
  corpus="$build/corpus/$t"
  findings="$build/findings/$t"
  mkdir -p "$corpus" "$findings"
  dict=()
  [ -f "fuzz/dict/$t.dict" ] && dict=("-dict=fuzz/dict/$t.dict")
  before=$(find "$findings" -type f | wc -l)
  log="$build/findings/$t.log"
  # Each run ends at the first finding; run again until the time is used up.
  : >"$log"
  end=$((SECONDS + seconds))
  runs=0
  while [ $SECONDS -lt $end ]; do
    left=$((end - SECONDS))
    "$build/bin/fuzz_$t" -max_total_time="$left" -timeout=10 -rss_limit_mb=2048 \
      -print_final_stats=1 -artifact_prefix="$findings/" "${dict[@]}" \
      "$corpus" "fuzz/corpus/$t" >>"$log" 2>&1 || true
    n=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
    runs=$((runs + ${n:-0}))
    grep -q '^stat::number_of_executed_units' "$log" || break # could not start
  done
  found=$(($(find "$findings" -type f | wc -l) - before))
  printf '%-14s %12s %10s  %s\n' "$t" "$runs" "$found" "$findings"
  if [ "$found" -gt 0 ] || ! grep -q '^stat::number_of_executed_units' "$log"; then
    status=1
    grep -m 3 -E 'Broken rule|ERROR:|SUMMARY' "$log" | sed 's/^/    /' || true
  fi
done
exit $status
