#!/usr/bin/env bash
# Installs what is missing, checks the formatting, then builds and runs every
# test twice: a normal build and one under AddressSanitizer and
# UndefinedBehaviorSanitizer. Window tests run headless. Then the tests that
# run threads (the window with its motion thread and run-time estimate, the
# simulation's hold) run once more under ThreadSanitizer. Last, each fuzz
# target runs for BRIMO_FUZZ_SECONDS (60 by default; 0 skips the stage) from
# a copy of its stored corpus; any finding fails the command.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
export QT_QPA_PLATFORM=offscreen
jobs=$(nproc)

echo "== formatting"
# From a clone, the files git knows; from an unpacked archive (no git), the
# same folders as they lie.
if command -v git >/dev/null && git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
  git ls-files -co --exclude-standard -- 'src/*.cpp' 'src/*.h' 'tests/*.cpp' 'tests/*.h' \
    'bench/*.cpp' 'bench/*.h' 'fuzz/*.cpp' 'fuzz/*.h'
else
  find src tests bench fuzz -type f \( -name '*.cpp' -o -name '*.h' \)
fi | xargs -r clang-format --dry-run -Werror

echo "== normal build"
# Every option each stage relies on is set, so a build folder configured
# otherwise before (run.sh turns the benchmarks off) cannot change it.
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBRIMO_GUI=ON -DBRIMO_BENCH=ON \
  -DBRIMO_SANITIZE=OFF -DBRIMO_TSAN=OFF -DBRIMO_FUZZ=OFF >/dev/null
cmake --build build -j"$jobs"
ctest --test-dir build --output-on-failure -j"$jobs"

echo "== sanitizer build (address, undefined)"
cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DBRIMO_GUI=ON -DBRIMO_SANITIZE=ON \
  -DBRIMO_TSAN=OFF -DBRIMO_BENCH=OFF -DBRIMO_FUZZ=OFF >/dev/null
cmake --build build-asan -j"$jobs"
# Leaks inside the platform's font and GL libraries are not ours to judge.
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 LSAN_OPTIONS=suppressions=$PWD/scripts/lsan.supp \
UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  ctest --test-dir build-asan --output-on-failure -j"$jobs"

echo "== thread sanitizer build (window, motion thread, estimate)"
cmake -S . -B build-tsan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBRIMO_GUI=ON -DBRIMO_TSAN=ON \
  -DBRIMO_SANITIZE=OFF -DBRIMO_BENCH=OFF -DBRIMO_FUZZ=OFF >/dev/null
cmake --build build-tsan -j"$jobs" --target brimo_gui_tests brimo_sim_tests
for t in brimo_gui_tests brimo_sim_tests; do
  TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1 suppressions=$PWD/scripts/tsan.supp" \
    build-tsan/tests/$t --gtest_brief=1
done

fuzz_seconds=${BRIMO_FUZZ_SECONDS:-60}
if [ "$fuzz_seconds" -gt 0 ]; then
  echo "== fuzzing ($fuzz_seconds s per target)"
  # A fixed seed: a finding here replays the same way on any machine
  # (fuzz/run.sh by hand draws a new seed each time).
  BRIMO_FUZZ_ARGS=${BRIMO_FUZZ_ARGS:--seed=1} bash fuzz/run.sh all "$fuzz_seconds"
fi
