// Headless simulation speed on a generated program: lines and pulses per
// second of the full simulation (rows, check, pulse dump) and of the
// window's run-time estimate, and the estimate's error against the full
// simulation. Default settings (0.0075 length units per step, rapid 500).
//
//   bench_simulate [LINES]   (default 8000: about 10 s in all)
//   bench_simulate --estimate [LINES] [--full]
//       CPU seconds of the run-time estimate (direct move times, with the
//       program check, as the window runs it) for a generated program of
//       LINES lines (default 1 000 000), beside the goal and the pulse-by-pulse
//       figure; the latter measured on the first 2 % of the program and
//       scaled by pulses unless --full (which takes minutes).
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <ostream>
#include <streambuf>
#include <vector>

#include "bench/gen_program.h"
#include "core/machine/config_file.h"
#include "core/machine/machine_state.h"
#include "core/machine/settings_form.h"
#include "core/program/program_store.h"
#include "core/sim/program_check.h"
#include "core/sim/sim_command_line.h"
#include "core/sim/sim_engine.h"
#include "core/sim/vcd_writer.h"

using namespace brimo;

namespace {

// Counts what is written and keeps nothing: the dump's formatting cost
// without the disk.
class CountingBuf : public std::streambuf {
 public:
  long long bytes = 0;

 protected:
  std::streamsize xsputn(const char*, std::streamsize n) override {
    bytes += n;
    return n;
  }
  int overflow(int c) override {
    ++bytes;
    return c;
  }
};

double Seconds(std::chrono::steady_clock::time_point t0) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

// CPU seconds of this thread.
double CpuSeconds() {
  timespec ts{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
  return static_cast<double>(ts.tv_sec) + 1e-9 * static_cast<double>(ts.tv_nsec);
}

ProgramStore Generated(long lines) {
  ProgramStore store;
  store.Assign(bench::GenerateProgramLines(lines));
  return store;
}

// The estimate as the window runs it, against the pulse-by-pulse simulation.
int EstimateCost(long lines, bool full) {
  constexpr double kGoal = 5;  // CPU seconds for 1 000 000 lines: "a few seconds"
  MachineState settings;
  SettingsForm form;
  ApplyFormSettings(settings, form, "0");
  const double scale[4] = {1, 1, 1, 1};
  ProgramStore store = Generated(lines);

  std::vector<Finding> findings;
  double c0 = CpuSeconds();
  const double estimate = EstimateRunSeconds(store, settings, 100, scale, nullptr, &findings);
  const double directCpu = CpuSeconds() - c0;

  // Pulse-by-pulse (the estimate before): the same program, with the check.
  const long sampleLines = full ? lines : std::max(1L, lines / 50);
  ProgramStore sample = Generated(sampleLines);
  SimulationOptions o;
  o.rows = false;
  o.check = true;
  o.drawingPass = false;
  std::vector<Finding> sampleFindings;
  c0 = CpuSeconds();
  const SimulationTotals byPulse = Simulate(sample, settings, o, nullptr, &sampleFindings);
  double pulseCpu = CpuSeconds() - c0;
  // The direct estimate of the sample, for the time comparison.
  const double sampleDirect = EstimateRunSeconds(sample, settings, 100, scale);
  double totalPulses = static_cast<double>(byPulse.pulses);
  if (!full) {
    // Scaled by pulses: the pulse loop is what the old estimate paid for.
    o.check = false;
    SimulationOptions count = o;
    count.direct = true;
    const SimulationTotals all = Simulate(store, settings, count);
    totalPulses = static_cast<double>(all.pulses);
    pulseCpu *= totalPulses / static_cast<double>(byPulse.pulses);
  }
  const double perMillion = directCpu * 1e6 / static_cast<double>(lines);
  std::printf("estimate of %ld generated lines (%.0f pulses, run time %s), with the check:\n",
              lines, totalPulses, ClockText(estimate).c_str());
  std::printf(
      "  direct move times     %8.3f CPU s  (%.3f s per 1M lines; goal a few seconds, at most "
      "%.0f)  %s\n",
      directCpu, perMillion, kGoal, perMillion <= kGoal ? "ok" : "OVER GOAL");
  std::printf("  pulse by pulse        %8.3f CPU s  (%s)  %.0fx the direct figure\n", pulseCpu,
              full ? "measured" : "first 2 % measured, scaled by pulses", pulseCpu / directCpu);
  const double err = (sampleDirect - byPulse.seconds) / byPulse.seconds;
  std::printf("  time on %ld lines: direct %.6f s, pulse by pulse %.6f s: %+.2e %% (%s)\n",
              sampleLines, sampleDirect, byPulse.seconds, 100 * err,
              std::fabs(err) <= 0.001 ? "within 0.1 %" : "OUTSIDE 0.1 %");
  std::printf("  findings %zu\n", findings.size());
  return (perMillion <= kGoal && std::fabs(err) <= 0.001) ? 0 : 1;
}

void Report(const char* what, const SimulationTotals& t, double s) {
  std::printf("%-28s %8.3f s  %10.0f lines/s  %12.0f pulses/s\n", what, s, t.lines / s,
              t.pulses / s);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc > 1 && std::strcmp(argv[1], "--estimate") == 0) {
    long lines = 1'000'000;
    bool full = false;
    for (int i = 2; i < argc; ++i) {
      if (std::strcmp(argv[i], "--full") == 0)
        full = true;
      else
        lines = std::atol(argv[i]);
    }
    return EstimateCost(std::max(1L, lines), full);
  }
  const long lines = argc > 1 ? std::atol(argv[1]) : 8000;
  MachineState settings;
  SettingsForm form;
  ApplyFormSettings(settings, form, "0");
  ProgramStore store;
  store.Assign(bench::GenerateProgramLines(lines));

  // Full simulation with rows (formatted as the command line does, not kept).
  long long rowBytes = 0;
  SimulationOptions rows;
  auto t0 = std::chrono::steady_clock::now();
  const SimulationTotals full = Simulate(store, settings, rows, [&](const SimulationRow& r) {
    rowBytes += static_cast<long long>(r.text.size() + r.motion.size());
  });
  const double fullS = Seconds(t0);

  SimulationOptions check;
  check.rows = false;
  check.check = true;
  std::vector<Finding> findings;
  t0 = std::chrono::steady_clock::now();
  const SimulationTotals checked = Simulate(store, settings, check, nullptr, &findings);
  const double checkS = Seconds(t0);

  CountingBuf sinkBuf;
  std::ostream sink(&sinkBuf);
  VcdWriter vcd(sink, VcdSignalsFor(settings), "bench");
  SimulationOptions dump;
  dump.rows = false;
  dump.vcd = &vcd;
  t0 = std::chrono::steady_clock::now();
  const SimulationTotals dumped = Simulate(store, settings, dump);
  const double dumpS = Seconds(t0);
  vcd.Finish(0);

  const double scale[4] = {1, 1, 1, 1};
  t0 = std::chrono::steady_clock::now();
  const double estimate = EstimateRunSeconds(store, settings, 100, scale);
  const double estimateS = Seconds(t0);

  std::printf("program: %ld generated lines, %ld pulses, simulated run time %.3f s (%s)%s\n", lines,
              full.pulses, full.seconds, ClockText(full.seconds).c_str(),
              full.finished ? "" : "  [run did not finish]");
  Report("simulation with rows", full, fullS);
  Report("simulation with --check", checked, checkS);
  Report("simulation with VCD dump", dumped, dumpS);
  SimulationTotals e = full;
  Report("EstimateRunSeconds", e, estimateS);
  std::printf("VCD: %.1f MB (%.1f bytes per pulse), %ld findings\n", sinkBuf.bytes / 1e6,
              double(sinkBuf.bytes) / double(dumped.pulses), static_cast<long>(findings.size()));
  const double err = (estimate - full.seconds) / full.seconds;
  std::printf("estimate %.9f s vs simulation %.9f s: error %.3g %% (%s)\n", estimate, full.seconds,
              100 * err, std::fabs(err) <= 0.01 ? "within 1 %" : "OUTSIDE 1 %");
  const bool same = checked.seconds == full.seconds && dumped.seconds == full.seconds;
  std::printf("check and dump runs give the same time: %s\n", same ? "yes" : "NO");
  return (std::fabs(err) <= 0.01 && same && rowBytes > 0) ? 0 : 1;
}
