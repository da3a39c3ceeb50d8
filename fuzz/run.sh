#!/usr/bin/env bash
# Runs the fuzz targets from a copy of their stored corpus (the repository's
# corpus never grows), one after the other.
#   fuzz/run.sh [TARGET|all] [SECONDS]     (default: all, 60 s each)
# Builds build-fuzz with clang first. Prints one line per target:
#   fuzz line_parse: 1234567 executions, 0 findings
# Exit status 1 when any target found something; the reproducer (crash-*,
# timeout-*, oom-*, leak-*) is kept under build-fuzz/findings/TARGET/.
# More options for libFuzzer go in BRIMO_FUZZ_ARGS (e.g. "-jobs=2").
set -euo pipefail
cd "$(dirname "$0")/.."
target=${1:-all}
seconds=${2:-${BRIMO_FUZZ_SECONDS:-60}}
targets=(line_parse program_run config_roundtrip pause_resume settings_dialog)
[ "$target" = all ] || targets=("$target")

cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
  -DBRIMO_FUZZ=ON -DBRIMO_GUI=OFF -DBRIMO_BENCH=OFF >/dev/null

# tmpfs where there is one: the configuration targets sync every save.
work=$(mktemp -d -p /dev/shm 2>/dev/null || mktemp -d)
trap 'rm -rf "$work"' EXIT
if ! cmake --build build-fuzz -j"$(nproc)" --target fuzz_all >"$work/build.log" 2>&1; then
  cat "$work/build.log"
  exit 1
fi
failed=0
for t in "${targets[@]}"; do
  exe=build-fuzz/fuzz/fuzz_$t
  [ -x "$exe" ] || { echo "fuzz $t: no such target"; failed=1; continue; }
  mkdir -p "$work/$t/corpus" "$work/$t/tmp" "$work/$t/findings" "build-fuzz/findings/$t"
  cp -r "fuzz/corpus/$t/." "$work/$t/corpus/"
  status=0
  # TMPDIR: the scratch files of the configuration targets go with the copy.
  TMPDIR="$work/$t/tmp" \
  ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    "$exe" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -max_len=4096 \
    -dict=fuzz/gcode.dict -print_final_stats=1 -artifact_prefix="$work/$t/findings/" \
    ${BRIMO_FUZZ_ARGS:-} "$work/$t/corpus" >"$work/$t/log" 2>&1 || status=$?
  runs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$work/$t/log" | grep -o '[0-9]*$' |
         tail -1)
  findings=$(find "$work/$t/findings" -type f | wc -l)
  cp -r "$work/$t/findings/." "build-fuzz/findings/$t/"
  [ "$status" -eq 0 ] || [ "$findings" -gt 0 ] || findings=1
  echo "fuzz $t: ${runs:-0} executions, $findings findings"
  if [ "$findings" -gt 0 ]; then
    failed=1
    grep -E 'ERROR|SUMMARY|==[0-9]+==|#[0-9]+ 0x|runtime error|Test unit written' \
      "$work/$t/log" | head -40
  fi
done
exit $failed
