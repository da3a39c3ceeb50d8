#include "core/interpreter/dispatch.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "core/interpreter/arc.h"
#include "core/interpreter/drill.h"
#include "core/interpreter/interpret.h"
#include "core/interpreter/parser.h"
#include "core/machine/core.h"
#include "core/machine/messages.h"
#include "core/machine/step_engine.h"

namespace brimo {

namespace {

constexpr double kMaxSteps = 2147483648.0;  // 2^31 steps on one axis

// Fast rate (length/min) and travel per step (length) of axis 1, 2 or 3.
bool AxisRates(const MachineState& ms, int axis, double& fast, double& unitsPerStep) {
  switch (axis) {
    case 1:
      fast = ms.FastRateX, unitsPerStep = ms.UnitsPerStepX;
      return true;
    case 2:
      fast = ms.FastRateY, unitsPerStep = ms.UnitsPerStepY;
      return true;
    case 3:
      fast = ms.FastRateZ, unitsPerStep = ms.UnitsPerStepZ;
      return true;
    default:
      return false;  // before the first move: StepRate keeps its value
  }
}

// Rounds to the nearest whole number, halves to the even neighbour (2.5 -> 2,
// 3.5 -> 4, -2.5 -> -2; deliberate). A distance that is a whole number of
// half steps in decimal arrives a few units in the last place off in binary
// (0.03 / 0.02 = 1.4999999999999998); within 1e-9 of a half it counts as the
// half, so the rule applies to the numbers as written.
double RoundHalfEven(double v) {
  const double half = std::round(v * 2) / 2;
  if (std::fabs(v - half) <= 1e-9 * std::max(1.0, std::fabs(v))) v = half;
  const double r = std::round(v);  // halves away from zero
  if (std::fabs(v - std::trunc(v)) == 0.5) return 2 * std::round(v / 2);
  return r;
}

double WholeSteps(double dist, double unitsPerStep) {
  return dist == 0 ? 0 : RoundHalfEven(dist / unitsPerStep);
}

// True, once, for the first straight move of a resume when it is the move
// the stop cut short: the same target, started where the stop left the tool.
bool ResumesKeptMove(MachineState& ms) {
  const bool armed = ms.ResumeKeptSteps;
  ms.ResumeKeptSteps = false;
  if (!armed || !ms.Stop.StepsKept) return false;
  ms.Stop.StepsKept = false;
  return ms.TargetX == ms.Stop.StepsTargetX && ms.TargetY == ms.Stop.StepsTargetY &&
         ms.TargetZ == ms.Stop.StepsTargetZ &&
         std::fabs(ms.PrgX - ms.Stop.PrgX) < ms.UnitsPerStepX / 2 &&
         std::fabs(ms.PrgY - ms.Stop.PrgY) < ms.UnitsPerStepY / 2 &&
         std::fabs(ms.PrgZ - ms.Stop.PrgZ) < ms.UnitsPerStepZ / 2;
}

bool CountUsable(double steps) { return std::isfinite(steps) && std::fabs(steps) <= kMaxSteps; }

// The DDA makes MoveSteps iterations at StepRate; an axis with |Delta| steps
// thus steps at StepRate * |Delta| / MoveSteps per second. Its own limit is
// its Fast rate: FastRate / 60 / UnitsPerStep steps per second.
void CapToAxisRates(MachineState& ms) {
  if (!(ms.MoveSteps > 0)) return;
  const double delta[3] = {ms.DeltaStepsX, ms.DeltaStepsY, ms.DeltaStepsZ};
  for (int axis = 1; axis <= 3; ++axis) {
    const double d = std::fabs(delta[axis - 1]);
    double fast = 0, unitsPerStep = 0;
    if (d == 0 || !AxisRates(ms, axis, fast, unitsPerStep)) continue;
    const double limit = fast / 60 / unitsPerStep;  // same form as StepRate: equal rates tie
    if (ms.StepRate * d > limit * ms.MoveSteps) ms.StepRate = limit * ms.MoveSteps / d;
  }
}

// Drilling line: rise to the retract height when below it, the approach in
// X and Y at the current height (traced like a rapid, made at the feed),
// then the pecks. A stop before the pecks leaves DrillCycleActive clear, so the
// line is resumed like any other cut move.
void DrillLine(Core& c) {
  MachineState& ms = c.ms;
  const double lineX = ms.TargetX, lineY = ms.TargetY;
  const double r = DrillRetractHeight(c);
  c.win.SetForeColour(kBrightGreen);
  // Only a rise of at least one whole step is a move. Less than that (a
  // height a hair below r, as a resume after the rise finds it) makes no
  // pulse and must not take the kept steps of the approach it comes before.
  if (WholeSteps(r - ms.PrgZ, ms.UnitsPerStepZ) > 0) {
    const double riseX = ms.PrgX, riseY = ms.PrgY;
    ms.TargetX = riseX;
    ms.TargetY = riseY;
    ms.TargetZ = r;
    StartLinearMove(c);
    ms.TargetX = lineX;
    ms.TargetY = lineY;
    if (ms.StopRequested) {
      // The cut move to resume is this line's, not the rise alone.
      if (ms.InProgramMove && ms.Stop.TargetX == riseX && ms.Stop.TargetY == riseY &&
          ms.Stop.TargetZ == r) {
        ms.Stop.TargetX = lineX;
        ms.Stop.TargetY = lineY;
      }
      return;
    }
  }
  ms.TargetZ = ms.PrgZ;
  StartLinearMove(c);
  if (ms.StopRequested) return;
  ms.DrillCycleActive = true;
  DrillCycle(c);
}

// The machine as a move sink. It acts on the run's own registers (the
// MachineState is the Registers the interpreting step reads), so the calls'
// values are those already in c.ms; the set-up routines read them there.
class MachineSink : public MoveSink {
 public:
  explicit MachineSink(Core& c) : c_(c) {}
  void Rapid(const StraightCall&) override {
    c_.win.SetForeColour(kBrightGreen);
    c_.ms.ArcMove = false;
    StartLinearMove(c_);
  }
  void Feed(const StraightCall&) override {
    c_.ms.ArcMove = false;
    StartLinearMove(c_);
  }
  ArcOffsets Arc(const ArcCall& a) override {
    c_.ms.ArcDirection = a.clockwise ? 1 : -1;
    c_.ms.ArcMove = true;
    // The set-up keeps the start offset in the registers itself, before
    // stepping; what it left there is what they keep.
    StartArc(c_);
    return {c_.ms.ArcI, c_.ms.ArcJ};
  }
  void Drill(const DrillCall&) override {
    c_.ms.ArcMove = false;
    DrillLine(c_);
  }
  void ToolChange(std::string_view) override { brimo::ToolChange(c_); }

 private:
  Core& c_;
};

}  // namespace

void ReadLine(Core& c) {
  MachineState& ms = c.ms;
  ms.StopRequested = false;
  ms.DiagonalFactor = 1;
  const LineResult line = ParseLine(ms.LineText, ReadScaleFactors(c.win), ms, ms);
  ms.LineText = line.before;
  if (line.skipped) return;  // changes nothing else; SetFeed is not run (deliberate)
  if (line.feedWord) c.win.ShowProgramFeed(NumberText(ms.ProgramFeed));  // as SetFeed
  if (line.ok && line.toolChange) MachineSink(c).ToolChange(ms.TWord);
  SetFeed(c);
}

void DispatchMotion(Core& c) {
  MachineSink sink(c);
  EmitMoves(c.ms, c.ms.ResumePending, sink);
}

void SetFeed(Core& c) {
  MachineState& ms = c.ms;
  ms.FeedNow = ms.ProgramFeed * c.win.OverridePercent() / 100;
  if (ms.ArcMove) ms.RefAxis = ms.FinestAxis;
  double fast = 0, unitsPerStep = 0;
  if (AxisRates(ms, ms.RefAxis, fast, unitsPerStep)) {
    // A rapid runs at the rapid rate whether written G00 or G0.
    if (ms.MotionWord.Kind() == MotionKind::kRapid) ms.FeedNow = fast;
    if (ms.FeedNow > fast) ms.FeedNow = fast;
    ms.StepRate = ms.FeedNow / 60 / unitsPerStep;
    CapToAxisRates(ms);
  }
  c.win.ShowFeed(NumberText(ms.FeedNow));
}

bool OverrideFeed(Core& c) {
  MachineState& ms = c.ms;
  const double feed = ms.FeedNow, rate = ms.StepRate;
  const int refAxis = ms.RefAxis;
  SetFeed(c);
  // Refused only when the move under way could pace before (a refused move
  // has already been told) and would no longer.
  if (!ms.Running || PulseIntervalWithinLimit(ms.StepRate) || !PulseIntervalWithinLimit(rate))
    return true;
  const double refused = ms.FeedNow;
  ms.FeedNow = feed;
  ms.StepRate = rate;
  ms.RefAxis = refAxis;
  c.win.ShowFeed(NumberText(feed));
  // The message line and a beep, not a modal box: a box would hold the tool
  // standing in the cut until the operator answers.
  c.win.Beep();
  c.win.ShowStatus(std::string(msg::kSlowOverride) + NumberText(refused) + msg::kSlowOverrideEnd);
  return false;
}

void StartLinearMove(Core& c) {
  MachineState& ms = c.ms;
  ms.DiagonalFactor = 1;
  ms.ResumePending = false;
  ms.StepX = ms.StepY = ms.StepZ = 0;

  ms.DistX = ms.TargetX - ms.PrgX;
  ms.DistY = ms.TargetY - ms.PrgY;
  ms.DistZ = ms.TargetZ - ms.PrgZ;
  // Ties go to X before Y before Z.
  ms.RefAxis = 1;
  if (std::fabs(ms.DistY) > std::fabs(ms.DistX)) ms.RefAxis = 2;
  if (std::fabs(ms.DistZ) > std::max(std::fabs(ms.DistX), std::fabs(ms.DistY))) ms.RefAxis = 3;

  if (ResumesKeptMove(ms)) {
    // The rest of a move a stop cut short: its own remaining steps, not the
    // remaining distance rounded again from the stop position.
    ms.DeltaStepsX = ms.Stop.StepsLeftX;
    ms.DeltaStepsY = ms.Stop.StepsLeftY;
    ms.DeltaStepsZ = ms.Stop.StepsLeftZ;
  } else {
    ms.DeltaStepsX = WholeSteps(ms.DistX, ms.UnitsPerStepX);
    ms.DeltaStepsY = WholeSteps(ms.DistY, ms.UnitsPerStepY);
    ms.DeltaStepsZ = WholeSteps(ms.DistZ, ms.UnitsPerStepZ);
  }
  if (!CountUsable(ms.DeltaStepsX) || !CountUsable(ms.DeltaStepsY) ||
      !CountUsable(ms.DeltaStepsZ)) {
    // Such a count is a typing error, and near 2^53 it would never count
    // down to zero. Nothing moves.
    ms.DeltaStepsX = ms.DeltaStepsY = ms.DeltaStepsZ = 0;
    ms.MoveSteps = 0;
    ms.StepsLeftX = ms.StepsLeftY = ms.StepsLeftZ = 0;
    ms.StopRequested = true;
    c.win.Message(msg::kMoveTooLong, msg::kMoveTooLongTitle);
    return;
  }
  ms.MoveSteps =
      std::max({std::fabs(ms.DeltaStepsX), std::fabs(ms.DeltaStepsY), std::fabs(ms.DeltaStepsZ)});

  SetFeed(c);  // also keeps every moving axis within its own Fast rate

  ms.StepsLeftX = std::fabs(ms.DeltaStepsX);
  ms.StepsLeftY = std::fabs(ms.DeltaStepsY);
  ms.StepsLeftZ = std::fabs(ms.DeltaStepsZ);
  if (ms.StepsLeftX == 0 && ms.StepsLeftY == 0 && ms.StepsLeftZ == 0) return;
  // Checked once here so a refused move gives one message, not one per pulse.
  if (!StepRateUsable(c)) return;
  RunLinearSteps(c);
}

void ToolChange(Core& c) {
  c.ms.StepMode = true;  // the run halts after this line
  c.win.Message(std::string(msg::kToolChange) + c.ms.TWord, msg::kAppTitle);
}

LineRegisters LineRegisters::Of(const MachineState& ms) {
  return {ms, ms.ArcMove, ms.ResumePending, ms.RefAxis};
}

void LineRegisters::PutBack(MachineState& ms) const {
  static_cast<Registers&>(ms) = regs;
  ms.ArcMove = ArcMove, ms.ResumePending = ResumePending;
  ms.RefAxis = RefAxis;
}

}  // namespace brimo
