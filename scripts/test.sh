#!/usr/bin/env bash
# Builds everything and runs every test and the desktop program under Wayland, then every test
# again under AddressSanitizer and UndefinedBehaviorSanitizer, the shell tests under
# ThreadSanitizer, then fuzzes every fuzz target briefly.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
jobs=$(nproc)

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$jobs"
ctest --test-dir build -j "$jobs" --output-on-failure
scripts/check-wayland.sh build

# Every test program again under AddressSanitizer and UndefinedBehaviorSanitizer, leaks
# included. A report fails its test, and ctest prints the test's output with the report.
# Only leaks inside the system libraries are suppressed (tests/sanitizers/lsan.supp).
san="$PWD/tests/sanitizers"
# (Set before the build too: listing a program's cases at build time runs it.)
export ASAN_OPTIONS=detect_leaks=1:halt_on_error=1:exitcode=1
export LSAN_OPTIONS=suppressions=$san/lsan.supp:print_suppressions=0:exitcode=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DQUIREFOLD_SANITIZE=ON >/dev/null
cmake --build build-asan -j "$jobs"
ctest --test-dir build-asan -j "$jobs" --output-on-failure

# The shell layer's threads (folder watcher, device notices) and the engine's (the search index's
# and the source's reading ahead, which every split uses) under ThreadSanitizer.
# Qt itself is not instrumented: tests/sanitizers/tsan.supp names the Qt libraries only.
export TSAN_OPTIONS=suppressions=$san/tsan.supp:halt_on_error=1:exitcode=66:second_deadlock_stack=1
cmake -S . -B build-tsan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DQUIREFOLD_TSAN=ON >/dev/null
cmake --build build-tsan -j "$jobs" --target shell_tests shell_combo_tests engine_tests
build-tsan/bin/shell_tests --gtest_brief=1
build-tsan/bin/shell_combo_tests --gtest_brief=1
build-tsan/bin/engine_tests --gtest_brief=1
# The fuzz build sets its own options.
unset ASAN_OPTIONS LSAN_OPTIONS UBSAN_OPTIONS TSAN_OPTIONS
# A short fuzzing round over every target; a finding fails the run.
scripts/fuzz.sh 10
echo "All tests passed."
