// Headless simulation speed on a generated program: lines and pulses per
// second of the full simulation (rows, check, pulse dump) and of the
// window's run-time estimate, and the estimate's error against the full
// simulation. Default settings (0.0075 length units per step, rapid 500).
//
//   bench_simulate [LINES]   (default 8000: about 10 s in all)
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ostream>
#include <streambuf>

#include "app/simulate.h"
#include "app/vcd_writer.h"
#include "bench/gen_program.h"
#include "machine/config_file.h"
#include "machine/machine_state.h"
#include "machine/settings_form.h"
#include "plot/program_store.h"

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

void Report(const char* what, const SimulationTotals& t, double s) {
  std::printf("%-28s %8.3f s  %10.0f lines/s  %12.0f pulses/s\n", what, s, t.lines / s,
              t.pulses / s);
}

}  // namespace

int main(int argc, char** argv) {
  const long lines = argc > 1 ? std::atol(argv[1]) : 8000;
  MachineState settings;
  SettingsForm form;
  ApplyFormSettings(settings, form, "0");
  ProgramStore store;
  for (auto& l : bench::GenerateProgramLines(lines)) store.ProgramLines.push_back(std::move(l));
  store.LineCount = lines;

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
