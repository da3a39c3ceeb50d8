// Pulse pacing on the real steady clock: a long straight X move online
// through the simulated port with a no-op event pump, at 1 k, 10 k, 50 k
// and 100 k steps/s. Prints the achieved mean rate and how far single
// intervals stray from the commanded one (microseconds).
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

#include "machine/core.h"
#include "machine/quiet_window.h"
#include "machine/step_engine.h"
#include "plot/plot_state.h"
#include "plot/program_store.h"

using namespace brimo;

int main() {
  std::printf("%10s %10s %12s %9s %9s %9s %9s\n", "commanded", "pulses", "achieved", "p50 us",
              "p99 us", "p99.9 us", "max us");
  for (double rate : {1000.0, 10000.0, 50000.0, 100000.0}) {
    MachineState ms;
    QuietWindow win;
    SteadyClock clock;
    SimulatedPort port(&clock);
    PortLink link(&port);
    ProgramStore store;
    PlotState plot;
    Core c{ms, win, clock, link, store, plot};
    ms.UnitsPerStepX = ms.UnitsPerStepY = ms.UnitsPerStepZ = 0.0075;
    ms.StepMaskX = 2, ms.DirMaskX = 1, ms.DirSenseX = -1;
    ms.DiagonalFactor = 1;
    ms.PlotEvery = 1e18;
    InitCounter(ms, clock);
    ms.StepRate = rate;

    const long pulses = static_cast<long>(rate * 2);  // two seconds each
    port.Reserve(2 * pulses + 2);
    ms.DeltaStepsX = pulses, ms.MoveSteps = pulses, ms.StepsLeftX = pulses;
    RunLinearSteps(c);

    const auto& w = port.Writes();
    std::vector<double> dev;
    dev.reserve(w.size() / 2);
    const double wanted_ns = 1e9 / rate;
    for (size_t i = 2; i < w.size(); i += 2)
      dev.push_back(std::fabs(double(w[i].tick - w[i - 2].tick) - wanted_ns) / 1000.0);
    std::sort(dev.begin(), dev.end());
    auto pct = [&](double p) { return dev[std::min(dev.size() - 1, size_t(p * dev.size()))]; };
    const double span_s = double(w[w.size() - 2].tick - w[0].tick) / 1e9;
    const double achieved = double(w.size() / 2 - 1) / span_s;
    std::printf("%10.0f %10ld %12.1f %9.2f %9.2f %9.2f %9.2f\n", rate, pulses, achieved, pct(0.5),
                pct(0.99), pct(0.999), dev.back());
  }
  return 0;
}
