#!/bin/sh
# Pulse pacing on both platforms: bench_pulse_pacing offscreen, then on an X
# display (it starts Xvfb itself when DISPLAY is unset or does not answer).
# Runs at real-time priority (chrt -f 50) when the system permits it (root or
# CAP_SYS_NICE), and says so when it does not.
#
#   bench/pulse_pacing.sh [path/to/bench_pulse_pacing] [bench options]
#   e.g. bench/pulse_pacing.sh build/bench/bench_pulse_pacing --long
#
# Without a path it takes build/bench/bench_pulse_pacing below the source
# tree. Exit code: the first non-zero one of the two runs.
set -u

here=$(cd "$(dirname "$0")" && pwd)
bench="$here/../build/bench/bench_pulse_pacing"
case "${1:-}" in
  -*|"") ;;
  *) bench=$1; shift ;;
esac
if [ ! -x "$bench" ]; then
  echo "no bench binary at $bench (build with -DBRIMO_BENCH=ON)" >&2
  exit 2
fi

if chrt -f 50 true 2>/dev/null; then
  prio="chrt -f 50"
  echo "real-time priority: chrt -f 50"
else
  prio=""
  echo "real-time priority: not permitted here (needs root or CAP_SYS_NICE); normal priority"
fi

status=0
for platform in offscreen xcb; do
  echo
  echo "######## platform $platform ########"
  $prio "$bench" --platform "$platform" "$@"
  rc=$?
  if [ "$status" -eq 0 ] && [ "$rc" -ne 0 ]; then status=$rc; fi
done
exit "$status"
