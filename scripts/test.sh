#!/usr/bin/env bash
# Builds everything and runs every test, then the engine and settings tests again under
# AddressSanitizer and UndefinedBehaviorSanitizer, then fuzzes every fuzz target briefly.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
jobs=$(nproc)

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$jobs"
ctest --test-dir build -j "$jobs" --output-on-failure

cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DQUIREFOLD_SANITIZE=ON \
      -DQUIREFOLD_BUILD_GUI=OFF >/dev/null
cmake --build build-asan -j "$jobs" --target engine_tests settings_tests
export ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1
build-asan/bin/engine_tests --gtest_brief=1
build-asan/bin/settings_tests --gtest_brief=1
# A short fuzzing round over every target; a finding fails the run.
scripts/fuzz.sh 10
echo "All tests passed."
