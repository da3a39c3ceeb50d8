// An offline run of a generated program through the core alone: steps per
// second with the (no-op) event pump after every pulse. "Fast" is ticked
// (unpaced): the figure is the cost per pulse, not the feed. The window version
// of the same run is bench_run_window.
#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "bench/gen_program.h"
#include "core/interpreter/run_control.h"
#include "core/machine/core.h"
#include "core/machine/quiet_window.h"
#include "core/plot/plot_state.h"
#include "core/program/program_store.h"

using namespace brimo;

int main(int argc, char** argv) {
  const long lines = argc > 1 ? std::atol(argv[1]) : 2000;
  MachineState ms;
  VirtualClock clock;
  PortLink link(nullptr);
  ProgramStore store;
  PlotState plot;
  ms.UnitsPerStepX = ms.UnitsPerStepY = ms.UnitsPerStepZ = 0.01;
  ms.FinestStepXY = 0.01, ms.FinestAxis = 1;
  ms.FastRateX = ms.FastRateY = ms.FastRateZ = 500;
  ms.DiagonalFactor = 1;
  ms.PlotEvery = 1e18;
  ms.Offline = true;
  ms.OfflineFast = true;
  store.Assign(bench::GenerateProgramLines(lines));

  long steps = 0;
  struct CountingWindow : QuietWindow {
    long* pumps;
    void PumpEvents() override { ++*pumps; }
  } counting;
  counting.pumps = &steps;
  Core cc{ms, counting, clock, link, store, plot};
  const auto t0 = std::chrono::steady_clock::now();
  Execute(cc);
  const double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
  if (ms.CurrentLine <= lines) std::printf("run stopped early at line %ld\n", ms.CurrentLine);
  std::printf("core alone: %ld lines, %ld pulses in %.3f s: %.0f pulses/s, %.0f lines/s\n", lines,
              steps, s, steps / s, lines / s);
  return 0;
}
