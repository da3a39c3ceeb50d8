// Instructions per pulse of the step path, for callgrind: a long straight
// move (X and Y interpolated) and a long arc, online through the simulated
// port (not recording) on the virtual clock, no live plot (PlotEvery 1e18),
// a no-op event pump. Each move runs inside its own function so that
// `valgrind --tool=callgrind --toggle-collect=MeasureStraight` (or
// MeasureArc) counts the step loop alone; bench/callgrind_pulse.sh does that
// and divides by the pulse count printed here.
//
//   bench_pulse_cost straight|arc   (default: both)
//
// Without valgrind it prints the pulse counts and the wall time, which says
// little: the virtual clock never waits.
#include <chrono>
#include <cstdio>
#include <cstring>
#include <numbers>

#include "core/interpreter/dispatch.h"
#include "core/machine/config_file.h"
#include "core/machine/core.h"
#include "core/machine/quiet_window.h"
#include "core/machine/settings_form.h"
#include "core/machine/step_engine.h"
#include "core/plot/plot_state.h"
#include "core/program/program_store.h"

using namespace brimo;

namespace {

// One machine with the default settings derived (0.0075 length units per
// step on every axis, the default pins), online at 20 000 steps/s.
struct Rig {
  MachineState ms;
  SettingsForm form;
  QuietWindow win;
  VirtualClock clock{1'000'000'000};
  SimulatedPort port{&clock};
  PortLink link{&port};
  ProgramStore store;
  PlotState plot;
  Core core{ms, win, clock, link, store, plot};

  Rig() {
    ApplyFormSettings(ms, form, "0");
    InitCounter(ms, clock);
    port.SetRecording(false);
    ms.PlotEvery = 1e18;
    // G01 at 9 length units/min: 20 000 steps/s at 0.0075 per step.
    ms.MotionWord = "G01";
    ms.ProgramFeed = 9;
    ms.RefAxis = 1;
    ms.StepRate = 20000;
    ms.FeedNow = 9;
  }
  long Pulses() const { return port.StatusReads(); }  // one status read per online pulse
};

// 300 000 X and 170 000 Y steps: every pulse steps X, most step Y too.
__attribute__((noinline)) void MeasureStraight(Core& c) { RunLinearSteps(c); }

// A full circle of radius 60 (about 50 000 iterations), counter-clockwise,
// with its closing move of a step or so.
__attribute__((noinline)) void MeasureArc(Core& c) { RunArcSteps(c, StartLinearMove); }

long Straight() {
  Rig r;
  MachineState& ms = r.ms;
  ms.DeltaStepsX = 300000, ms.DeltaStepsY = -170000, ms.DeltaStepsZ = 0;
  ms.MoveSteps = 300000;
  ms.StepsLeftX = 300000, ms.StepsLeftY = 170000, ms.StepsLeftZ = 0;
  ms.TargetX = 300000 * ms.UnitsPerStepX, ms.TargetY = -170000 * ms.UnitsPerStepY;
  MeasureStraight(r.core);
  if (ms.StepsLeftX != 0 || ms.StepsLeftY != 0 || ms.StopRequested)
    std::printf("straight move did not finish\n");
  return r.Pulses();
}

long Arc() {
  Rig r;
  MachineState& ms = r.ms;
  const double radius = 60;
  ms.PrgX = ms.MachX = radius;  // on the circle about the origin, at angle 0
  ms.ArcCenterX = 0, ms.ArcCenterY = 0, ms.ArcRadius = radius;
  ms.ArcStartAngle = 0, ms.ArcDirection = -1, ms.ArcAngle = 0;
  ms.ArcAngleStep = ms.FinestStepXY / radius;
  ms.ArcSweep = 2 * std::numbers::pi;
  ms.TargetX = radius, ms.TargetY = 0, ms.TargetZ = 0;
  ms.ArcMove = true;
  MeasureArc(r.core);
  if (ms.StopRequested) std::printf("arc did not finish\n");
  return r.Pulses();
}

}  // namespace

int main(int argc, char** argv) {
  const bool all = argc < 2;
  const auto run = [](const char* name, long (*f)()) {
    const auto t0 = std::chrono::steady_clock::now();
    const long pulses = f();
    const double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    std::printf("%s pulses %ld  (%.3f s)\n", name, pulses, s);
  };
  if (all || std::strcmp(argv[1], "straight") == 0) run("straight", Straight);
  if (all || std::strcmp(argv[1], "arc") == 0) run("arc", Arc);
  return 0;
}
