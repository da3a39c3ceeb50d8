#!/usr/bin/env bash
# Instructions per pulse of the step loops (RunLinearSteps, RunArcSteps with
# StepPulse, the wait, the port writes and the switch reading), counted by
# callgrind on bench_pulse_cost: online, simulated port, virtual clock, no
# live plot. Only the measured function is collected (--toggle-collect), so
# set-up and exit are not counted; the total is divided by the pulses made.
#
#   bench/callgrind_pulse.sh [BUILD_DIR]     (default: build)
#
# Needs valgrind and a build with the benchmarks (BRIMO_BENCH=ON, the
# default); RelWithDebInfo is the build the goals are stated for.
set -euo pipefail

build=${1:-build}
bench="$build/bench/bench_pulse_cost"
if [[ ! -x "$bench" ]]; then
  echo "no $bench: build with -DBRIMO_BENCH=ON first" >&2
  exit 2
fi
command -v valgrind >/dev/null || { echo "valgrind is not installed" >&2; exit 2; }

out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT

# move  measured-function  goal (instructions per pulse)
measure() {
  local move=$1 fn=$2 goal=$3
  local log="$out/$move.log" data="$out/$move.out"
  valgrind --tool=callgrind --toggle-collect="$fn" --callgrind-out-file="$data" \
    "$bench" "$move" >"$log" 2>"$out/$move.err" || {
    cat "$out/$move.err" >&2
    exit 1
  }
  local pulses ir
  pulses=$(sed -n "s/^$move pulses \([0-9]*\).*/\1/p" "$log")
  ir=$(sed -n 's/^totals: *\([0-9]*\).*/\1/p' "$data")
  if [[ -z "$pulses" || -z "$ir" || "$pulses" -eq 0 || "$ir" -eq 0 ]]; then
    echo "$move: could not read the pulse count or the totals" >&2
    exit 1
  fi
  # Share of the pacing primitives (the wait and the two port writes with
  # their clock and port calls), inclusive, for telling their cost apart.
  local pacing
  pacing=$(callgrind_annotate --inclusive=yes --threshold=100 "$data" 2>/dev/null |
    awk 'match($0, /:brimo::(WaitPulseInterval|WritePulse)\(.*\[/) {
           name = substr($0, RSTART, 24); gsub(",", "", $1)
           if (!seen[name]++) sum += $1 } END { print sum + 0 }')
  awk -v m="$move" -v ir="$ir" -v p="$pulses" -v g="$goal" -v pace="$pacing" 'BEGIN {
    per = ir / p
    printf "%-9s %8d pulses %8.1f instructions per pulse  goal <= %d  %-6s" \
           "  (wait + writes %.1f, the rest %.1f)\n",
           m, p, per, g, (per <= g ? "met" : "MISSED"), pace / p, (ir - pace) / p
  }'
}

measure straight '*MeasureStraight*' 150
measure arc '*MeasureArc*' 250
