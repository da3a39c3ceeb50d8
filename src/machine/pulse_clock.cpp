#include "machine/pulse_clock.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <limits>

#include "machine/machine_state.h"
#include "machine/port.h"
#include "machine/window.h"

namespace brimo {

bool SteadyClock::Counter(int64_t& ticks) {
  ticks = std::chrono::duration_cast<std::chrono::nanoseconds>(
              std::chrono::steady_clock::now().time_since_epoch())
              .count();
  return true;
}

bool SteadyClock::Frequency(int64_t& ticksPerSecond) {
  ticksPerSecond = 1'000'000'000;  // nanosecond ticks
  return true;
}

void VirtualClock::Approach(double due) {
  // Jump to the first whole tick at or after the due time. 2^63 is the first
  // double past the counter's range: stop at its last tick (292 years at 1 ns).
  constexpr int64_t kLast = std::numeric_limits<int64_t>::max();
  const double t = std::ceil(due);
  if (!(t > static_cast<double>(now_))) return;
  now_ = t >= 9223372036854775808.0 ? kLast : static_cast<int64_t>(t);
}

bool InitCounter(MachineState& ms, Clock& clock) {
  if (!clock.Counter(ms.LastPulseTime)) return false;
  clock.Counter(ms.NowTime);
  int64_t f = 0;
  if (!clock.Frequency(f)) return false;
  ms.CounterFrequency = f;
  return true;
}

namespace {

// Due time (ticks, as a double: no integer can overflow) of the next pulse.
double DueTime(const MachineState& ms) {
  return static_cast<double>(ms.LastPulseTime) +
         (static_cast<double>(ms.CounterFrequency) / ms.StepRate) / ms.DiagonalFactor;
}

}  // namespace

bool WaitPulseInterval(MachineState& ms, Clock& clock, Window* pump) {
  // Interval in ticks, measured from just after the previous step write; the
  // first test uses the NowTime left by the previous wait.
  double due = DueTime(ms);
  const double slice = static_cast<double>(ms.CounterFrequency) * kPumpSlice;
  double nextPump = static_cast<double>(ms.LastPulseTime) + slice;
  while (!(static_cast<double>(ms.NowTime) >= due)) {
    if (ms.NowTime == std::numeric_limits<int64_t>::max()) return true;  // no later tick
    // No pump in the last half slice before the pulse: its handlers could
    // make the pulse late. Pumps are thus at most 1.5 slices apart.
    const bool pumpDue = pump && slice > 0 && due - nextPump > slice / 2;
    if (pumpDue && static_cast<double>(ms.NowTime) >= nextPump) {
      pump->PumpEvents();
      if (ms.StopRequested) return false;
      // The override may have changed the rate; a rate that cannot pace
      // (refused at set-up) keeps the due time already set.
      if (ms.StepRate > 0 && std::isfinite(ms.StepRate)) due = DueTime(ms);
      // The first slice end after now (a slow pump may have skipped some).
      nextPump += slice * (std::floor((static_cast<double>(ms.NowTime) - nextPump) / slice) + 1);
      continue;
    }
    clock.Approach(pumpDue ? std::min(due, nextPump) : due);
    clock.Counter(ms.NowTime);
  }
  return true;
}

void WritePulse(MachineState& ms, Clock& clock, Port& port, int pulseByte, int dirByte) {
  port.WriteData(static_cast<uint8_t>(pulseByte));
  clock.Counter(ms.LastPulseTime);
  port.WriteData(static_cast<uint8_t>(dirByte));
}

int ReadStatusPort(Port& port) { return port.ReadStatus(); }

}  // namespace brimo
