#include "core/machine/step_engine.h"

#include <cmath>
#include <cstdint>
#include <string>

#include "core/machine/core.h"
#include "core/machine/messages.h"
#include "core/machine/number_text.h"
#include "core/machine/port.h"
#include "core/machine/pulse_clock.h"
#include "core/machine/switches.h"

namespace brimo {

bool StepRateUsable(Core& c) {
  // A rate of 0, below 0 or not finite has no interval: the wait would spin
  // forever or pulse without pacing. Refused online and offline alike, so an
  // offline run predicts an online one.
  if (!(c.ms.StepRate > 0 && std::isfinite(c.ms.StepRate))) {
    c.ms.StopRequested = true;
    c.win.Message(msg::kBadRate, msg::kBadRateTitle);
    return false;
  }
  if (!PulseIntervalWithinLimit(c.ms.StepRate)) {
    c.ms.StopRequested = true;
    c.win.Message(std::string(msg::kSlowFeed) + NumberText(c.ms.FeedNow) + msg::kSlowFeedEnd,
                  msg::kSlowFeedTitle);
    return false;
  }
  if (PulseIntervalFitsWidth(c.ms.StepRate, c.ms.PulseWidthUs)) return true;
  c.ms.StopRequested = true;
  c.win.Message(std::string(msg::kFastRate) + NumberText(c.ms.FeedNow) + msg::kFastRateEvery +
                    NumberText(std::round(1e6 / c.ms.StepRate * 100) / 100) + msg::kFastRateWidth +
                    NumberText(c.ms.PulseWidthUs) + msg::kFastRateEnd,
                msg::kFastRateTitle);
  return false;
}

void ShowPulseLateness(Core& c) {
  const PulseSchedule& s = c.ms.Schedule;
  if (s.timed == 0) return;  // nothing was timed (offline)
  c.win.ShowStatus(msg::kPulseLateness + NumberText(std::round(WorstLatenessUs(c.ms) * 10) / 10) +
                   msg::kPulseLatenessLate + std::to_string(s.late) + msg::kPulseLatenessEnd);
}

namespace {

// Opens the port on the first online pulse. When it cannot be opened the
// operator is told once, the program goes offline (the box shows it) and the
// pulse is not made: a port that silently did nothing would report failure
// as success. Out of line: every pulse after the first finds the port ready.
[[gnu::noinline]] Port* OpenPort(Core& c) {
  std::string why;
  Port* p = c.port.Acquire(why);
  if (p) return p;
  if (!c.port.Reported()) {
    c.port.Reported() = true;
    c.win.Message(std::string(msg::kPortFailed) + why + msg::kPortOffline, msg::kPortTitle);
  }
  c.ms.Offline = true;
  c.win.ShowOffline(true);
  c.ms.StopRequested = true;
  return nullptr;
}

Port* OnlinePort(Core& c) {
  if (Port* p = c.port.Ready()) [[likely]]
    return p;
  return OpenPort(c);
}

// Takes the bytes of an offline pulse and drops them, and reads no switch.
class NoPort final : public Port {
 public:
  void WriteData(uint8_t) override {}
  uint8_t ReadStatus() override { return 127; }  // nothing active
};

// Offline without "Fast": the wait and the time stamp of an online pulse on
// the same clock, so an offline run, jog or home move takes the time the
// machine would take and can be paused. Nothing reaches the port and no
// switch is read. False when a stop came during the wait: the pulse is not
// made.
bool PaceOfflinePulse(Core& c, int pulseByte) {
  MachineState& ms = c.ms;
  NoPort none;
  // As online: the direction set-up's lead, the schedule, the pulse width.
  if (!WaitPulseInterval(ms, c.clock, &c.win, NeedsDirectionSetup(ms) ? &none : nullptr))
    return false;
  ms.DiagonalFactor = (ms.StepX != 0 && ms.StepY != 0) ? 0.707 : 1;
  WritePulse(ms, c.clock, none, pulseByte, ms.DirByte);
  return true;
}

}  // namespace

bool StepPulse(Core& c) {
  MachineState& ms = c.ms;
  // The usual rate passes the inline test; StepRateUsable tests it again and
  // tells the operator why it cannot pace.
  if (!(PulseIntervalWithinLimit(ms.StepRate) &&
        PulseIntervalFitsWidth(ms.StepRate, ms.PulseWidthUs)) &&
      !StepRateUsable(c))
    return false;
  Port* port = nullptr;
  if (!ms.Offline && !(port = OnlinePort(c))) return false;

  ms.DirByte = 0;
  ms.PulseByte = 0;
  // A direction line is high when the axis steps in its DirSense direction;
  // an axis that does not step (0) never matches -1 or +1. Masks combine by
  // OR, so two axes on one pin can never carry into a third line.
  if (ms.StepX == ms.DirSenseX) ms.DirByte |= ms.DirMaskX;
  if (ms.StepY == ms.DirSenseY) ms.DirByte |= ms.DirMaskY;
  if (ms.StepZ == ms.DirSenseZ) ms.DirByte |= ms.DirMaskZ;
  int stepBits = 0;
  if (ms.StepX != 0) stepBits |= ms.StepMaskX;
  if (ms.StepY != 0) stepBits |= ms.StepMaskY;
  if (ms.StepZ != 0) stepBits |= ms.StepMaskZ;

  if (!ms.Offline) {
    ms.PulseByte = ms.DirByte | stepBits;
    // With the factor left by the previous pulse; a reversing axis gets its
    // direction line set up first. A stop during a long wait leaves at once:
    // this pulse is not made.
    if (!WaitPulseInterval(ms, c.clock, &c.win, NeedsDirectionSetup(ms) ? port : nullptr))
      return false;
    // Decimal 0.707, not 1/sqrt(2), and X with Y only (Z takes no part):
    // deliberate, it lengthens the interval before the next pulse.
    ms.DiagonalFactor = (ms.StepX != 0 && ms.StepY != 0) ? 0.707 : 1;
    WritePulse(ms, c.clock, *port, ms.PulseByte, ms.DirByte);
    // Between the port writes and the position update: an axis its home
    // switch zeroes ends this pulse one step away from 0 (deliberate).
    ReadSwitches(c, *port);
  } else if (!ms.OfflineFast && !PaceOfflinePulse(c, ms.DirByte | stepBits)) {
    return false;
  }

  ms.PlotStepCount += 1;
  ms.PrgX += ms.UnitsPerStepX * ms.StepX;
  ms.PrgY += ms.UnitsPerStepY * ms.StepY;
  ms.PrgZ += ms.UnitsPerStepZ * ms.StepZ;
  ms.MachX += ms.UnitsPerStepX * ms.StepX;
  ms.MachY += ms.UnitsPerStepY * ms.StepY;
  ms.MachZ += ms.UnitsPerStepZ * ms.StepZ;

  if (ms.PlotStepCount >= ms.PlotEvery) {
    // Single precision, as the plot surface takes it.
    c.win.PlotDot(static_cast<float>(ms.PrgX), static_cast<float>(ms.PrgY), c.win.ForeColour());
    ms.PlotStepCount = 0;
  }
  return true;
}

void TakeStopSnapshot(Core& c) {
  MachineState& ms = c.ms;
  c.win.SetExecuteEnabled(true);
  // A stopped jog or home move must not overwrite the record of a cut
  // program move: the next "Execute Program" resumes from that record.
  if (!ms.InProgramMove) return;
  ms.Run = RunState::kStopped;
  ms.Stop.StepsKept = false;  // the straight-move loop keeps its steps itself
  ms.Stop.PrgX = ms.PrgX;
  ms.Stop.PrgY = ms.PrgY;
  ms.Stop.PrgZ = ms.PrgZ;
  ms.Stop.TargetX = ms.TargetX;
  ms.Stop.TargetY = ms.TargetY;
  ms.Stop.TargetZ = ms.TargetZ;
  ms.Stop.DrawWidth = c.win.PenWidth();
  ms.Stop.MotionWord = ms.MotionWord;
}

namespace {
int Sign(double v) { return (v > 0) - (v < 0); }
}  // namespace

void RunLinearSteps(Core& c) {
  MachineState& ms = c.ms;
  // Digital differential analyser. The axis with the most steps gains
  // |Delta| * (1/MoveSteps) per iteration; rounding can leave that a hair
  // below 1 (49 * (1/49)), so such a move takes one extra iteration whose
  // first pulse steps nothing (deliberate). The loop ends only when every
  // axis has emitted exactly its steps.
  //
  // Per-move values, computed once: the same products the loop would form
  // at every iteration (1/MoveSteps first, then times |Delta|), so every
  // accumulator takes the same values. Nothing run inside the pump changes
  // them: every control that starts a move refuses while one runs, and the
  // override changes only StepRate.
  const double inv = 1 / ms.MoveSteps;
  const double incX = std::fabs(ms.DeltaStepsX) * inv;
  const double incY = std::fabs(ms.DeltaStepsY) * inv;
  const double incZ = std::fabs(ms.DeltaStepsZ) * inv;
  const int signX = Sign(ms.DeltaStepsX);
  const int signY = Sign(ms.DeltaStepsY);
  const int signZ = Sign(ms.DeltaStepsZ);
  while (ms.StepsLeftX > 0 || ms.StepsLeftY > 0 || ms.StepsLeftZ > 0) {
    if (ms.StepsLeftX > 0) ms.StepAccX += incX;
    if (ms.StepsLeftY > 0) ms.StepAccY += incY;
    if (ms.StepsLeftZ > 0) ms.StepAccZ += incZ;
    if (ms.StepAccX >= 1) {
      ms.StepX = signX;
      ms.StepAccX -= 1;
      ms.StepsLeftX -= 1;
    }
    if (ms.StepAccY >= 1) {
      ms.StepY = signY;
      ms.StepAccY -= 1;
      ms.StepsLeftY -= 1;
    }
    if (ms.StepAccZ >= 1) {
      ms.StepZ = signZ;
      ms.StepAccZ -= 1;
      ms.StepsLeftZ -= 1;
    }
    // Also when no axis steps in this iteration. A pulse not made (a stop
    // during its wait, a refused rate) gives its steps back, so a resume
    // still makes exactly the move's steps.
    // The accumulators keep their fraction: below 1, as after any iteration.
    if (!StepPulse(c)) {
      if (ms.StepX != 0) ms.StepsLeftX += 1;
      if (ms.StepY != 0) ms.StepsLeftY += 1;
      if (ms.StepZ != 0) ms.StepsLeftZ += 1;
    }
    ms.StepX = ms.StepY = ms.StepZ = 0;
    c.win.PumpEvents();
    if (ms.StopRequested) {
      TakeStopSnapshot(c);
      if (ms.InProgramMove) {
        ms.Stop.StepsKept = true;
        ms.Stop.StepsTargetX = ms.TargetX;
        ms.Stop.StepsTargetY = ms.TargetY;
        ms.Stop.StepsTargetZ = ms.TargetZ;
        ms.Stop.StepsLeftX = Sign(ms.DeltaStepsX) * ms.StepsLeftX;
        ms.Stop.StepsLeftY = Sign(ms.DeltaStepsY) * ms.StepsLeftY;
        ms.Stop.StepsLeftZ = Sign(ms.DeltaStepsZ) * ms.StepsLeftZ;
      }
      break;
    }
  }
  ms.DeltaStepsZ = 0;
}

// Arc point angle a = ArcStartAngle - ArcAngle * ArcDirection (radians, ccw
// from +X): ArcDirection +1 runs clockwise (G02), -1 counter-clockwise.
//
//            +Y
//             |   . a (ccw from +X)
//             |  /
//     --------C------- +X      point = C + r (cos a, sin a)
//
void RunArcSteps(Core& c, void (*closingMove)(Core&)) {
  MachineState& ms = c.ms;
  // Bound and increment are fixed when the loop starts.
  const double step = ms.ArcAngleStep;
  const double bound = ms.ArcSweep + ms.ArcAngleStep;
  // The arc's geometry, fixed for the move like the bound (only the arc
  // set-up writes it, and no move starts inside the pump).
  const double start = ms.ArcStartAngle, direction = ms.ArcDirection;
  const double cx = ms.ArcCenterX, cy = ms.ArcCenterY, radius = ms.ArcRadius;
  if (step > 0 && std::isfinite(step) && std::isfinite(bound)) {
    for (; ms.ArcAngle <= bound; ms.ArcAngle += step) {
      const double a = start - ms.ArcAngle * direction;
      const double x = cx + radius * std::cos(a);
      const double y = cy + radius * std::sin(a);
      ms.DistX = x - ms.PrgX;
      ms.DistY = y - ms.PrgY;
      if (std::fabs(ms.DistX) >= ms.UnitsPerStepX) ms.StepX = Sign(ms.DistX);
      if (std::fabs(ms.DistY) >= ms.UnitsPerStepY) ms.StepY = Sign(ms.DistY);
      const bool made = StepPulse(c);
      ms.StepX = ms.StepY = ms.StepZ = 0;
      c.win.PumpEvents();
      if (ms.StopRequested) {
        // No closing move. A resumed arc goes on with the first point whose
        // pulse was not made: the interrupted one when the stop came during
        // its wait, else the next. Repeating a point whose pulse was made
        // steps again wherever the tool stands a step or more off the circle
        // (an arc whose start is not where the tool is), so the resumed run
        // would end elsewhere than the straight one.
        if (made) ms.ArcAngle += step;
        TakeStopSnapshot(c);
        return;
      }
    }
  }
  ms.LineStartX = ms.PrgX;
  ms.LineStartY = ms.PrgY;
  ms.LineStartZ = ms.PrgZ;
  // Closes the gap left by the stepping and makes all Z travel of the line.
  closingMove(c);
}

}  // namespace brimo
