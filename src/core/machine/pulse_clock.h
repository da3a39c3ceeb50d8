// The pulse clock and the port primitives a step pulse is built from.
//
// Counter: raw 64-bit ticks; CounterFrequency ticks per second. The real
// clock is std::chrono::steady_clock in nanoseconds (10^9 ticks/s): a wait
// sleeps until kSleepMargin before its due time and spins only for that last
// stretch. A virtual clock for tests and simulation jumps straight to the
// due time instead, so a simulated run is paced exactly as an online run.
//
// Absolute schedule. The commanded interval of a pulse (ticks) is
//
//   I = CounterFrequency / StepRate / DiagonalFactor
//
// with the factor left by the previous pulse (0.707 after an X+Y pulse);
// e.g. 10 MHz and 1000 steps/s: 10000 ticks, after an X+Y pulse 10000/0.707.
// A pulse is due one interval after the previous pulse's DUE time, not after
// its write, so a late pulse does not slow the whole move down:
//
//   nominal(n) = nominal(n-1) + I
//   target(n)  = max(nominal(n), write(n-1) + max(3/4 I, 2 x pulse width))
//
// Lateness is repaid gradually: no interval is shorter than 3/4 of the
// commanded one, nor than two pulse widths (the step line high, then as long
// low). One pulse written late, then repaid:
//
//   nominal  |---------|---------|---------|---------|---------|
//   written  ^         ^              ^      ^       ^         ^
//                                   late   +3/4 I   on schedule again
//
// A pulse written more than 8 intervals after its nominal time restarts the
// schedule from its own write: that time is lost, never repaid as a burst.
// The schedule also restarts at the start of every motion (and so after any
// stop): that first pulse is due at max(write(n-1) + I, now), so an idle
// machine pulses at once (a pulse width later when it sets up a direction
// first). The schedule carries across the lines of a run.
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
// exactly the tick it would land on without them. The pulse itself (pulse
// width, direction set-up) is drawn in port.h.
#pragma once

#include <cstdint>

#include "core/machine/machine_state.h"

namespace brimo {

struct MachineState;
class Port;
class Window;

// Length of one slice of a long wait between two event pumps (seconds).
inline constexpr double kPumpSlice = 0.005;

// The real clock sleeps until this long before a due time and spins for the
// rest (seconds). Measured on Linux (2 busy cores): sleeps to an absolute
// time overshoot by 15-50 us (p50) and up to 85 us (p99) with a timer slack
// of 1 ns, by 65-110 us (p50) and up to 170 us (p99) with the default 50 us
// slack; rare outliers of several hundred us under load become lateness.
// The margin grows with the overshoot the thread's sleeps show (1.5 times
// the largest recent one), up to kSleepMarginMax: on a virtual machine whose
// timer wakes 250 us late a 150 us margin would make every slow pulse late.
inline constexpr double kSleepMargin = 150e-6;
inline constexpr double kSleepMarginMax = 2e-3;

class Clock {
 public:
  virtual ~Clock() = default;
  // Reads the counter; false when the platform has none.
  virtual bool Counter(int64_t& ticks) = 0;
  virtual bool Frequency(int64_t& ticksPerSecond) = 0;
  // Called by a wait before each re-read of the counter while it waits for
  // `due` ticks. It may return at any time before `due` (the caller reads
  // again and calls again). The real clock sleeps until kSleepMargin before a
  // due time that far away, else returns at once (the caller spins); a
  // virtual clock advances to the due time at once.
  virtual void Approach(double due) { (void)due; }
};

class SteadyClock final : public Clock {
 public:
  bool Counter(int64_t& ticks) override;
  bool Frequency(int64_t& ticksPerSecond) override;
  // Sleeps (clock_nanosleep to an absolute CLOCK_MONOTONIC time on Linux,
  // std::this_thread::sleep_until elsewhere) until kSleepMargin before `due`
  // when that is still ahead.
  void Approach(double due) override;
};

// Linux: the calling thread runs SCHED_FIFO at `priority` (its caller got
// it) and keeps it only while its waits can sleep. A real-time thread that
// never sleeps is stopped by the kernel for the rest of every second once
// it has run 950 ms of it (kernel.sched_rt_runtime_us): a 50 ms gap in the
// pulses. So after kRealTimeSpinLimit of waits too short to sleep (rates
// above about 7 000 steps/s) the thread falls back to normal scheduling, and
// takes SCHED_FIFO again at its next wait long enough to sleep. Elsewhere
// it does nothing.
void KeepRealTimeWhileSleeping(int priority);
inline constexpr double kRealTimeSpinLimit = 0.5;  // seconds

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

// The next pulse starts the schedule afresh, and the motion's timing figures
// (worst lateness, late pulses) start at 0. Called at the start of every run,
// jog, home move and move to a line.
void RestartPulseSchedule(MachineState& ms);

// PulseWidthUs in whole counter ticks, rounded up (0 without a counter).
int64_t PulseWidthTicks(const MachineState& ms);

// True when an axis that steps in this pulse (StepX/Y/Z) would see its
// direction line change with its step edge: the line on the port differs
// from DirByte (a reversal; also after an idle pulse of that axis, whose
// line dropped), or the port's byte is not known yet. Never with a pulse
// width of 0.
// Inline: asked before every pulse.
inline bool NeedsDirectionSetup(const MachineState& ms) {
  // Without a counter or with no width there is nothing to lead by.
  if (ms.CounterFrequency <= 0 || !(ms.PulseWidthUs > 0)) return false;
  int lines = 0;  // direction lines of the axes that step
  if (ms.StepX != 0) lines |= ms.DirMaskX;
  if (ms.StepY != 0) lines |= ms.DirMaskY;
  if (ms.StepZ != 0) lines |= ms.DirMaskZ;
  const int onPort = ms.Schedule.onPort;
  return onPort < 0 ? lines != 0 : ((onPort ^ ms.DirByte) & lines) != 0;
}

// Waits until the next pulse is due on the schedule. The first test uses the
// NowTime left by the previous wait (a restart reads the counter first).
// StepRate must be positive and finite (callers check). With a window, its
// events are pumped every kPumpSlice of the wait; a change of StepRate made
// there (the override) moves the due time. With `setupPort`, DirByte is
// written there alone (the pulse reverses an axis) at least a pulse width
// before the pulse is due, or as soon as possible when it is already late.
// Returns false, with the pulse not yet due, when a stop was requested during
// the wait; true when the pulse is due (or the counter has reached its last
// tick).
bool WaitPulseInterval(MachineState& ms, Clock& clock, Window* pump = nullptr,
                       Port* setupPort = nullptr);

// Writes the pulse byte (step lines rise), stamps the pulse (StampPulse),
// holds the step lines high for the pulse width, then writes the direction
// byte (step lines fall).
void WritePulse(MachineState& ms, Clock& clock, Port& port, int pulseByte, int dirByte);

// Reads the counter into LastPulseTime as the write time of the pulse the
// last wait was for: books it on the schedule and in the motion's figures.
void StampPulse(MachineState& ms, Clock& clock);

// Worst lateness of the motion's pulses in microseconds (0 without a counter).
double WorstLatenessUs(const MachineState& ms);

int ReadStatusPort(Port& port);

}  // namespace brimo
