// Parser throughput: ParseLine alone over a generated program of one
// million lines (bench/gen_program.h), with a window that shows nothing.
// Prints lines per second for five passes and their best and median, beside
// the goal of 5 million lines per second.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

#include "bench/gen_program.h"
#include "core/interpreter/parser.h"
#include "core/machine/core.h"
#include "core/machine/quiet_window.h"
#include "core/plot/plot_state.h"
#include "core/program/program_store.h"

using namespace brimo;

int main() {
  constexpr long kLines = 1'000'000;
  const std::vector<std::string> program = bench::GenerateProgramLines(kLines, 1);

  MachineState ms;
  QuietWindow win;
  VirtualClock clock;
  PortLink link(static_cast<Port*>(nullptr));
  ProgramStore store;
  PlotState plot;
  Core c{ms, win, clock, link, store, plot};
  ms.UnitsPerStepX = ms.UnitsPerStepY = ms.UnitsPerStepZ = 0.0075;
  ms.FastRateX = ms.FastRateY = ms.FastRateZ = 500;
  ms.FinestStepXY = 0.0075;
  ms.FinestAxis = 1;

  std::printf("program: %ld lines, %zu bytes\n", kLines, [&] {
    size_t n = 0;
    for (const auto& l : program) n += l.size() + 2;
    return n;
  }());
  std::vector<double> rates;
  double checksum = 0;
  long bad = 0;
  for (int pass = 0; pass < 5; ++pass) {
    const auto t0 = std::chrono::steady_clock::now();
    for (const auto& line : program) {
      ParseLine(line, ScaleValues{}, ms, ms);
      checksum += ms.TargetX + ms.TargetY;
      bad += ms.LineBad;
    }
    const double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    rates.push_back(kLines / s);
    std::printf("pass %d: %.3f s, %.0f lines/s\n", pass + 1, s, kLines / s);
  }
  std::sort(rates.begin(), rates.end());
  std::printf("best %.0f lines/s, median %.0f lines/s (bad lines %ld, checksum %.3f)\n",
              rates.back(), rates[rates.size() / 2], bad, checksum);
  constexpr double kGoal = 5e6;  // lines per second
  std::printf("parser: %.2f M lines/s (best)   goal >= %.0f M lines/s   %s\n", rates.back() / 1e6,
              kGoal / 1e6, rates.back() >= kGoal ? "met" : "NOT met");
  return 0;
}
