// The pulse clock and the three port primitives a step pulse is built from.
//
// Counter: raw 64-bit ticks; CounterFrequency ticks per second. The real
// clock is std::chrono::steady_clock in nanoseconds (10^9 ticks/s). A virtual
// clock for tests and simulation jumps straight to the due time instead of
// spinning, so a simulated run is paced exactly as an online run would be.
//
// Interval between two pulses (ticks), measured from the previous step write:
//
//   CounterFrequency / StepRate / DiagonalFactor
//
// e.g. 10 MHz and 1000 steps/s: 10000 ticks; after an X+Y pulse 10000/0.707.
//
// A long wait is cut into slices of kPumpSlice seconds; at the end of each
// slice (but the one ending within half a slice of the pulse) the window
// handles its events, and a stop requested there ends the wait at once,
// before the pulse:
//
//   previous pulse       pump    pump    pump         pulse due
//   |_______________________|_______|_______|_____________|
//   LastPulseTime  +5 ms   +10 ms  +15 ms          (interval)
//
// The due time itself does not depend on the slices: a virtual clock lands on
// exactly the tick it would land on without them.
#pragma once

#include <cstdint>

namespace brimo {

struct MachineState;
class Port;
class Window;

// Length of one slice of a long wait between two event pumps (seconds).
inline constexpr double kPumpSlice = 0.005;

class Clock {
 public:
  virtual ~Clock() = default;
  // Reads the counter; false when the platform has none.
  virtual bool Counter(int64_t& ticks) = 0;
  virtual bool Frequency(int64_t& ticksPerSecond) = 0;
  // Called by the busy wait before each re-read when the pulse is due at
  // `due` ticks. The real clock does nothing (it spins); a virtual clock
  // advances to the due time at once.
  virtual void Approach(double due) { (void)due; }
};

class SteadyClock final : public Clock {
 public:
  bool Counter(int64_t& ticks) override;
  bool Frequency(int64_t& ticksPerSecond) override;
};

// Deterministic clock: time moves only when a wait asks for it (or the test
// calls Advance). Reads cost nothing.
class VirtualClock final : public Clock {
 public:
  explicit VirtualClock(int64_t frequency = 10'000'000) : frequency_(frequency) {}
  bool Counter(int64_t& ticks) override {
    ticks = now_;
    return available_;
  }
  bool Frequency(int64_t& f) override {
    f = frequency_;
    return available_;
  }
  // Stops at the last tick the counter holds rather than overflowing.
  void Approach(double due) override;
  void Advance(int64_t ticks) { now_ += ticks; }
  int64_t Now() const { return now_; }
  void SetAvailable(bool on) { available_ = on; }

 private:
  int64_t frequency_;
  int64_t now_ = 0;
  bool available_ = true;
};

// Reads the counter into LastPulseTime and NowTime and the frequency into
// CounterFrequency. Returns false (CounterFrequency stays 0) when the
// platform has no counter; the caller tells the operator.
bool InitCounter(MachineState& ms, Clock& clock);

// Busy wait until the next pulse is due. The first test uses the NowTime left
// by the previous wait. StepRate must be positive and finite (callers check).
// With a window, its events are pumped every kPumpSlice of the wait; a change
// of StepRate made there (the override) moves the due time. Returns false,
// with the pulse not yet due, when a stop was requested during the wait; true
// when the pulse is due (or the counter has reached its last tick).
bool WaitPulseInterval(MachineState& ms, Clock& clock, Window* pump = nullptr);

// Writes the pulse byte, stamps LastPulseTime, writes the direction byte.
void WritePulse(MachineState& ms, Clock& clock, Port& port, int pulseByte, int dirByte);

int ReadStatusPort(Port& port);

}  // namespace brimo
