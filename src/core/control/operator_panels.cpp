#include "core/control/operator_panels.h"

#include <algorithm>
#include <cmath>

#include "core/interpreter/dispatch.h"
#include "core/interpreter/parser.h"
#include "core/machine/core.h"
#include "core/machine/messages.h"
#include "core/machine/settings_form.h"
#include "core/machine/step_engine.h"
#include "core/plot/plot_geometry.h"
#include "core/plot/toolpath.h"

namespace brimo {
namespace {

struct AxisRates {
  double fast, medium, slow, unitsPerStep;
};

AxisRates RatesOf(const MachineState& ms, int axis) {
  switch (axis) {
    case 1:
      return {ms.FastRateX, ms.MediumRateX, ms.SlowRateX, ms.UnitsPerStepX};
    case 2:
      return {ms.FastRateY, ms.MediumRateY, ms.SlowRateY, ms.UnitsPerStepY};
    default:
      return {ms.FastRateZ, ms.MediumRateZ, ms.SlowRateZ, ms.UnitsPerStepZ};
  }
}

bool Usable(double rate) { return rate > 0 && std::isfinite(rate); }

}  // namespace

JogButton JogButtonFor(int index) {
  switch (index) {
    case 6:
      return {3, +1};
    case 1:
      return {3, -1};
    case 4:
      return {1, +1};
    case 2:
      return {1, -1};
    case 3:
      return {2, +1};
    case 5:
      return {2, -1};
    default:
      return {};
  }
}

void Jog(Core& c, int index, int button, JogSpeed speed) {
  MachineState& ms = c.ms;
  const JogButton jb = JogButtonFor(index);
  if (button != kLeftButton || jb.axis == 0) return;
  if (ms.Running) {  // no jog inside a run, a home move or another jog
    c.win.Beep();
    return;
  }
  UpdatePlotEvery(c);
  // Kept here, not in a register: the release of a refused press (which may
  // come in the middle of a run) must have nothing to put back.
  const Motion savedMotionWord = ms.MotionWord;
  ms.MotionWord = "G01";
  ms.StopRequested = false;
  ms.StepX = ms.StepY = ms.StepZ = 0;
  (jb.axis == 1 ? ms.StepX : jb.axis == 2 ? ms.StepY : ms.StepZ) = jb.direction;
  const AxisRates r = RatesOf(ms, jb.axis);
  if (speed == JogSpeed::Fast) ms.FeedNow = r.fast;
  if (speed == JogSpeed::Med) ms.FeedNow = r.medium;
  if (speed == JogSpeed::Slow) ms.FeedNow = r.slow;
  ms.StepRate = ms.FeedNow / r.unitsPerStep / 60;  // steps per second
  // "Step" before any feed was set: pace that single pulse at the Slow rate
  // rather than at a rate of 0.
  if (speed == JogSpeed::Step && !Usable(ms.StepRate)) ms.StepRate = r.slow / r.unitsPerStep / 60;
  c.win.ShowFeed(NumberText(ms.FeedNow));

  ms.Running = true;
  RestartPulseSchedule(ms);
  if (speed == JogSpeed::Step) {
    StepPulse(c);
  } else {
    // At least one pulse per click: the release is seen only in the event
    // pump after a pulse. No ramps: every pulse at the same StepRate.
    while (!ms.StopRequested) {
      StepPulse(c);
      c.win.PumpEvents();
    }
  }
  ms.Running = false;
  ms.StepX = ms.StepY = ms.StepZ = 0;
  // Also when the release was swallowed by a message box (limit switch).
  ms.MotionWord = savedMotionWord;
  ShowPositions(c);
  ShowPulseLateness(c);
}

void EndJog(Core& c, int index, int button, JogSpeed speed) {
  MachineState& ms = c.ms;
  if (JogButtonFor(index).axis == 0) return;
  // A stop request and nothing else: the press (which restores the motion
  // word itself) may have been refused because a run moves, and that run's
  // motion word, targets and stop record are not the jog's to touch.
  if (speed != JogSpeed::Step && button == kLeftButton) ms.StopRequested = true;
  ShowPositions(c);
}

bool HomeFeedFieldEnabled(const std::string& moveKind) { return moveKind != "Rapid"; }

HomingSafeZ HomingSafeHeight(const MachineState& ms) {
  const std::string& mode = ms.ZHomingMoveMode;
  if (mode == "None") return {};
  // The switch can only be read online; offline the rise is made as "Relative".
  if (mode == "Limit switch" && !ms.Offline) return {HomingRise::kToSwitch, 0};
  double distance = 0;
  if (!ReadFieldNumber(ms.ZHomingMoveDistance, distance)) return {HomingRise::kBadDistance, 0};
  // Program and machine Z differ by a constant: machine Z `distance` lies at
  // this program Z.
  if (mode == "Absolute") return {HomingRise::kToHeight, ms.PrgZ - ms.MachZ + distance};
  // "Relative", and any other text: a rise is the safe reading of a setting
  // nobody chose from the list.
  return {HomingRise::kToHeight, distance};
}

namespace {

// Z alone, upwards at the Z Fast rate, until the home Z switch reads active
// (each pulse reads it) or a stop is requested. An active last reading means
// Z already stands on the switch: no pulse. False when stopped.
bool RiseToHomeSwitch(Core& c) {
  MachineState& ms = c.ms;
  if (ms.HomeZActive) return true;
  ms.FeedNow = ms.FastRateZ;
  ms.StepRate = ms.FastRateZ / ms.UnitsPerStepZ / 60;  // steps per second
  c.win.ShowFeed(NumberText(ms.FeedNow));
  ms.DiagonalFactor = 1;
  ms.StepX = ms.StepY = 0;
  ms.StepZ = +1;
  while (!ms.StopRequested && !ms.HomeZActive) {
    StepPulse(c);  // an unusable rate or port requests the stop itself
    c.win.PumpEvents();
  }
  ms.StepZ = 0;
  return !ms.StopRequested;
}

}  // namespace

void Home(Core& c, const SettingsForm& home) {
  MachineState& ms = c.ms;
  if (ms.Running) {
    c.win.Beep();
    return;
  }
  ms.StopRequested = false;
  c.win.ShowFeed(home.HomeFeedrate);
  c.win.FocusPlot();
  double tx = 0, ty = 0;
  if (home.HomeUsingMachineZero) {  // machine zero in program coordinates
    tx = ms.PrgX - ms.MachX;
    ty = ms.PrgY - ms.MachY;
  } else if (!home.HomeUsingProgramZero) {
    // "Using Home Switchs": machine zero is set by jogging onto them.
    c.win.ShowStatus(msg::kHomeUsingSwitches);
    return;
  }
  // Exact, case-sensitive: "rapid" is a feed move (and enables Text6).
  const bool rapid = home.HomeMoveKind == "Rapid";
  double feed = 0;
  if (!rapid && !(ReadFieldNumber(home.HomeFeedrate, feed) && Usable(feed))) {
    c.win.Message(msg::kHomeFeedBad, msg::kHomeTitle);
    return;
  }
  const HomingSafeZ safe = HomingSafeHeight(ms);
  if (safe.rise == HomingRise::kBadDistance) {
    c.win.Message(msg::kHomeZDistanceBad + ms.ZHomingMoveDistance, msg::kHomeTitle);
    return;
  }

  // The move is not a program line: everything a halted run reads is put
  // back, and the stop record is never written (InProgramMove stays false).
  const LineRegisters saved = LineRegisters::Of(ms);
  ms.ArcMove = false;
  ms.ResumePending = false;
  ms.Running = true;
  RestartPulseSchedule(ms);

  // 1. Z rises alone at the Z Fast rate (a Z-only rapid paces by Z) to the
  //    safe height, or to the last Z end point when that is higher; it never
  //    goes down, so a second press finds it up and does not rise again.
  c.win.SetForeColour(kBrightGreen);
  ms.MotionWord = "G00";
  bool ok = true;
  double z = ms.TargetZ;
  if (safe.rise == HomingRise::kToHeight) z = std::max(z, safe.z);
  if (safe.rise == HomingRise::kToSwitch) {
    ok = RiseToHomeSwitch(c);
  } else if (z > ms.PrgZ) {
    ms.TargetX = ms.PrgX, ms.TargetY = ms.PrgY, ms.TargetZ = z;
    StartLinearMove(c);
    ok = !ms.StopRequested;
  }

  // 2. X and Y at that height, as a rapid or at the "Feedrate:" feed.
  if (ok) {
    ms.MotionWord = rapid ? "G00" : "G01";
    if (!rapid) ms.ProgramFeed = feed;
    c.win.SetForeColour(rapid ? kBrightGreen : kBlack);
    ms.TargetX = tx, ms.TargetY = ty, ms.TargetZ = ms.PrgZ;
    StartLinearMove(c);
  }
  ms.Running = false;
  c.win.SetForeColour(kBlack);
  saved.PutBack(ms);
  ShowPositions(c);
  ShowPulseLateness(c);
}

bool ParseOverride(const std::string& text, double& percent) {
  double v = 0;
  if (!ReadFieldNumber(text, v) || !(v >= kOverrideMin && v <= kOverrideMax)) return false;
  percent = v;
  return true;
}

double OverrideAfterButton(double percent, int index) {
  const double next = percent + (index == 0 ? 2 : -2);
  return std::clamp(next, kOverrideMin, kOverrideMax);
}

std::string QuickFeedText(double programFeed, double percent) {
  return NumberText(programFeed * percent / 100);
}

void ZeroProgram(Core& c) {
  if (c.ms.Running) return c.win.Beep();
  c.ms.PrgX = c.ms.PrgY = c.ms.PrgZ = 0;
  ShowPositions(c);
}

void ZeroMachine(Core& c) {
  if (c.ms.Running) return c.win.Beep();
  c.ms.MachX = c.ms.MachY = c.ms.MachZ = 0;
  ShowPositions(c);
}

void CoordinateDialog::Open(const Core& c, bool machine) {
  const MachineState& ms = c.ms;
  caption = machine ? kMachineCaption : kProgramCaption;
  const double v[3] = {machine ? ms.MachX : ms.PrgX, machine ? ms.MachY : ms.PrgY,
                       machine ? ms.MachZ : ms.PrgZ};
  for (int i = 0; i < 3; ++i) {
    fields[i] = FormatPosition(v[i]);
    changed[i] = false;
  }
}

void CoordinateDialog::Edit(int i, const std::string& text) {
  fields[i] = text;
  changed[i] = true;
}

namespace {

std::string NotANumber(int i, const std::string& text) {
  return std::string(CoordinateDialog::kFieldNames[i]) + msg::kCoordNotANumber + "\"" + text + "\"";
}

}  // namespace

bool CoordinateDialog::LostFocus(int i, std::string* message) {
  double v = 0;
  if (ReadFieldNumber(fields[i], v)) {
    fields[i] = FormatPosition(v);
    return true;
  }
  if (message) *message = NotANumber(i, fields[i]) + msg::kCoordFixIt;
  return false;
}

void CoordinateDialog::Zero(int i) { Edit(i, "0.0000"); }

void CoordinateDialog::ZeroAll() {
  for (int i = 0; i < 3; ++i) Zero(i);
}

bool CoordinateDialog::Ok(Core& c) {
  MachineState& ms = c.ms;
  if (ms.Running) {
    c.win.Beep();
    return false;
  }
  // All or nothing: a field that is not a number sets no axis.
  double values[3] = {0, 0, 0};
  for (int i = 0; i < 3; ++i) {
    if (!changed[i] || ReadFieldNumber(fields[i], values[i])) continue;
    c.win.Message(NotANumber(i, fields[i]) + msg::kCoordNothingSet, msg::kCoordTitle);
    return false;
  }
  // The caption is the only record of which coordinates are edited.
  const bool program = caption == kProgramCaption;
  double* axes[3] = {program ? &ms.PrgX : &ms.MachX, program ? &ms.PrgY : &ms.MachY,
                     program ? &ms.PrgZ : &ms.MachZ};
  // Only the axes the operator touched: a jog made while the dialog was open
  // must not shift the other axes' origin.
  for (int i = 0; i < 3; ++i)
    if (changed[i]) *axes[i] = values[i];
  for (bool& ch : changed) ch = false;
  ShowPositions(c);
  return true;
}

}  // namespace brimo
