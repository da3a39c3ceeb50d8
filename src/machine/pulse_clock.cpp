#include "machine/pulse_clock.h"

#include <chrono>
#include <cmath>

#include "machine/machine_state.h"
#include "machine/port.h"

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
  // Jump to the first whole tick at or after the due time.
  double t = std::ceil(due);
  if (t > static_cast<double>(now_)) now_ = static_cast<int64_t>(t);
}

bool InitCounter(MachineState& ms, Clock& clock) {
  if (!clock.Counter(ms.LastPulseTime)) return false;
  clock.Counter(ms.NowTime);
  int64_t f = 0;
  if (!clock.Frequency(f)) return false;
  ms.CounterFrequency = f;
  return true;
}

void WaitPulseInterval(MachineState& ms, Clock& clock) {
  // Interval in ticks, measured from just after the previous step write; the
  // first test uses the NowTime left by the previous wait.
  const double due = static_cast<double>(ms.LastPulseTime) +
                     (static_cast<double>(ms.CounterFrequency) / ms.StepRate) / ms.DiagonalFactor;
  while (!(static_cast<double>(ms.NowTime) >= due)) {
    clock.Approach(due);
    clock.Counter(ms.NowTime);
  }
}

void WritePulse(MachineState& ms, Clock& clock, Port& port, int pulseByte, int dirByte) {
  port.WriteData(static_cast<uint8_t>(pulseByte));
  clock.Counter(ms.LastPulseTime);
  port.WriteData(static_cast<uint8_t>(dirByte));
}

int ReadStatusPort(Port& port) { return port.ReadStatus(); }

}  // namespace brimo
