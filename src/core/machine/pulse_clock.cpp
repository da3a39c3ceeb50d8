#include "core/machine/pulse_clock.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <limits>

#if defined(__linux__)
#include <pthread.h>
#include <sched.h>
#include <sys/prctl.h>
#include <time.h>
#else
#include <thread>
#endif

#include "core/machine/machine_state.h"
#include "core/machine/port.h"
#include "core/machine/window.h"

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

namespace {

// The real-time class of the pulse thread (KeepRealTimeWhileSleeping).
struct RealTime {
  bool wanted = false;  // the thread runs SCHED_FIFO when it may
  bool on = false;      // it does now
  int priority = 0;
  int64_t spinningSince = -1;  // first wait too short to sleep since the last sleep (ns)
  // How late this thread's sleeps wake (ns): the largest recent overshoot,
  // decaying by half over about 140 sleeps.
  double overshoot = 0;
};
// Per thread, as the scheduling class it mirrors is.
thread_local RealTime realTime;

void SetRealTime(bool on) {
#if defined(__linux__)
  sched_param p{};
  p.sched_priority = on ? realTime.priority : 0;
  if (pthread_setschedparam(pthread_self(), on ? SCHED_FIFO : SCHED_OTHER, &p) == 0)
    realTime.on = on;
#else
  (void)on;
#endif
}

}  // namespace

void KeepRealTimeWhileSleeping(int priority) {
  realTime.wanted = true;
  realTime.on = true;
  realTime.priority = priority;
}

void SteadyClock::Approach(double due) {
  // The least margin, or more where this machine's sleeps wake later: a
  // sleep must end before the pulse is due, whatever it costs in spinning.
  const double kMarginNs = std::min(std::max(kSleepMargin * 1e9, 1.5 * realTime.overshoot + 20e3),
                                    kSleepMarginMax * 1e9);
  int64_t now = 0;
  Counter(now);
  // Not worth a sleep: the caller spins the last stretch.
  if (!(due - static_cast<double>(now) > kMarginNs)) {
    if (!realTime.on) return;
    if (realTime.spinningSince < 0) {
      realTime.spinningSince = now;
    } else if (static_cast<double>(now - realTime.spinningSince) > kRealTimeSpinLimit * 1e9) {
      SetRealTime(false);  // before the kernel stops the thread for 50 ms
    }
    return;
  }
  realTime.spinningSince = -1;
  if (realTime.wanted && !realTime.on) SetRealTime(true);
  const double wake = std::min(due - kMarginNs, 9.2e18);  // within the counter's range
#if defined(__linux__)
  // The default timer slack (50 us) would let every sleep run that much
  // longer; asked once per thread (a real-time thread has none anyway).
  thread_local const bool slackSet = prctl(PR_SET_TIMERSLACK, 1UL, 0, 0, 0) == 0;
  (void)slackSet;
  // steady_clock is CLOCK_MONOTONIC on Linux: the same nanosecond ticks.
  const auto ns = static_cast<int64_t>(wake);
  timespec ts{};
  ts.tv_sec = static_cast<time_t>(ns / 1'000'000'000);
  ts.tv_nsec = static_cast<long>(ns % 1'000'000'000);
  clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &ts, nullptr);  // a signal only wakes it early
#else
  using Steady = std::chrono::steady_clock;
  std::this_thread::sleep_until(Steady::time_point(std::chrono::duration_cast<Steady::duration>(
      std::chrono::nanoseconds(static_cast<int64_t>(wake)))));
#endif
  Counter(now);
  realTime.overshoot = std::max(static_cast<double>(now) - wake, realTime.overshoot * 0.995);
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

void RestartPulseSchedule(MachineState& ms) {
  PulseSchedule& s = ms.Schedule;
  s.restart = true;
  s.timed = 0;
  s.worstLate = 0;
  s.late = 0;
}

int64_t PulseWidthTicks(const MachineState& ms) {
  if (ms.CounterFrequency <= 0 || !(ms.PulseWidthUs > 0)) return 0;
  // Whole ticks, so "a pulse width before" the due tick lands on a tick too.
  const double t = std::ceil(ms.PulseWidthUs * 1e-6 * static_cast<double>(ms.CounterFrequency));
  return t < 9.2e18 ? static_cast<int64_t>(t) : std::numeric_limits<int64_t>::max() / 4;
}

namespace {

constexpr int64_t kLastTick = std::numeric_limits<int64_t>::max();

// Sets the commanded interval, the schedule time and the target of the
// pulse being waited for, from StepRate and DiagonalFactor as they are now.
void PlanPulse(MachineState& ms, double hold) {
  PulseSchedule& s = ms.Schedule;
  const double last = static_cast<double>(ms.LastPulseTime);
  s.interval = (static_cast<double>(ms.CounterFrequency) / ms.StepRate) / ms.DiagonalFactor;
  s.nominal = s.restart ? std::max(last + s.interval, s.restartAt) : s.due + s.interval;
  s.target = std::max(s.nominal, last + std::max(0.75 * s.interval, 2 * hold));
}

// PulseWidthTicks, worked out again only when the width or the counter's
// frequency changed since the last pulse (a configuration load).
double HoldTicks(MachineState& ms) {
  PulseSchedule& s = ms.Schedule;
  if (s.holdUs != ms.PulseWidthUs || s.holdFrequency != ms.CounterFrequency) [[unlikely]] {
    s.holdUs = ms.PulseWidthUs;
    s.holdFrequency = ms.CounterFrequency;
    s.holdTicks = static_cast<double>(PulseWidthTicks(ms));
  }
  return s.holdTicks;
}

// Spins (the clock may sleep first) until the counter reads `until` ticks.
void WaitUntil(MachineState& ms, Clock& clock, double until) {
  while (!(static_cast<double>(ms.NowTime) >= until) && ms.NowTime != kLastTick) {
    clock.Approach(until);
    clock.Counter(ms.NowTime);
  }
}

}  // namespace

bool WaitPulseInterval(MachineState& ms, Clock& clock, Window* pump, Port* setupPort) {
  PulseSchedule& s = ms.Schedule;
  const double hold = HoldTicks(ms);
  if (s.restart) {
    // From now on, or a pulse width later when the direction is set up first.
    clock.Counter(ms.NowTime);
    s.restartAt = static_cast<double>(ms.NowTime) + (setupPort ? hold : 0);
  }
  PlanPulse(ms, hold);
  const double slice = static_cast<double>(ms.CounterFrequency) * kPumpSlice;
  // Slices run from the previous write, or from a restart's reading (the
  // previous write may be long past).
  double nextPump = static_cast<double>(s.restart ? ms.NowTime : ms.LastPulseTime) + slice;
  // Earliest rise after a direction set-up write (ticks).
  double riseAfterSetup = -std::numeric_limits<double>::infinity();
  for (;;) {
    const double rise = std::max(s.target, riseAfterSetup);
    const double goal = setupPort ? rise - hold : rise;
    if (static_cast<double>(ms.NowTime) >= goal) {
      if (!setupPort) return true;
      // The reversing axes' direction lines alone, inside the low time.
      s.writing = PortWrite::kDirection;
      setupPort->WriteData(static_cast<uint8_t>(ms.DirByte));
      s.onPort = ms.DirByte;
      setupPort = nullptr;
      clock.Counter(ms.NowTime);
      riseAfterSetup = static_cast<double>(ms.NowTime) + hold;
      continue;
    }
    if (ms.NowTime == kLastTick) return true;  // no later tick
    // No pump in the last half slice before the pulse: its handlers could
    // make the pulse late. Pumps are thus at most 1.5 slices apart.
    const bool pumpDue = pump && slice > 0 && rise - nextPump > slice / 2;
    if (pumpDue && static_cast<double>(ms.NowTime) >= nextPump) {
      pump->PumpEvents();
      if (ms.StopRequested) return false;
      // The override may have changed the rate; a rate that cannot pace
      // (refused at set-up) keeps the due time already set.
      if (ms.StepRate > 0 && std::isfinite(ms.StepRate)) PlanPulse(ms, hold);
      // The first slice end after now (a slow pump may have skipped some).
      nextPump += slice * (std::floor((static_cast<double>(ms.NowTime) - nextPump) / slice) + 1);
      continue;
    }
    clock.Approach(pumpDue ? std::min(goal, nextPump) : goal);
    clock.Counter(ms.NowTime);
  }
}

void StampPulse(MachineState& ms, Clock& clock) {
  clock.Counter(ms.LastPulseTime);
  ms.NowTime = ms.LastPulseTime;
  PulseSchedule& s = ms.Schedule;
  const auto written = static_cast<double>(ms.LastPulseTime);
  s.restart = false;
  // More than 8 intervals behind: that time is given up, not repaid.
  s.due = written - s.nominal > 8 * s.interval ? written : s.nominal;
  if (ms.CounterFrequency <= 0) return;  // no counter: no time to tell
  // Against the first tick at which the wait could see the pulse due.
  const double late = std::max(0.0, written - std::ceil(s.target));
  ++s.timed;
  s.worstLate = std::max(s.worstLate, late);
  if (late > s.interval / 4) ++s.late;
}

void WritePulse(MachineState& ms, Clock& clock, Port& port, int pulseByte, int dirByte) {
  PulseSchedule& s = ms.Schedule;
  s.writing = PortWrite::kRise;
  port.WriteData(static_cast<uint8_t>(pulseByte));
  StampPulse(ms, clock);
  WaitUntil(ms, clock, static_cast<double>(ms.LastPulseTime) + HoldTicks(ms));
  s.writing = PortWrite::kFall;
  port.WriteData(static_cast<uint8_t>(dirByte));
  s.onPort = dirByte;
}

double WorstLatenessUs(const MachineState& ms) {
  if (ms.CounterFrequency <= 0) return 0;
  return ms.Schedule.worstLate / static_cast<double>(ms.CounterFrequency) * 1e6;
}

int ReadStatusPort(Port& port) { return port.ReadStatus(); }

}  // namespace brimo
