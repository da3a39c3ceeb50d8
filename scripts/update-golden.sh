#!/usr/bin/env bash
# Rewrites the golden files under tests/golden/ (the `--simulate --json`
# output of every sample and stored generated program) from the current build.
#
# A golden file changes only when a change of behaviour is intended: run this
# after such a change, read `git diff tests/golden/` line by line, and commit
# the goldens together with the change that explains them. Never run it to make
# a failing golden test pass without knowing why the output moved.
#
#   scripts/update-golden.sh            rewrite the .jsonl and .exit files
#   scripts/update-golden.sh --inputs   also make the generated programs
#                                       (tests/golden/*.nc) and golden.cfg anew
#                                       from tests/golden_programs.h first
# BUILD_DIR (default: build) names the build folder to use.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${BUILD_DIR:-build}
mode=1
case "${1:-}" in
  "") ;;
  --inputs) mode=inputs ;;
  *) echo "usage: $0 [--inputs]" >&2; exit 2 ;;
esac
if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
fi
cmake --build "$build" --target brimo_golden_tests -j"${JOBS:-2}"
BRIMO_UPDATE_GOLDEN=$mode "$build/tests/brimo_golden_tests" --gtest_brief=1
git status --short -- tests/golden/
