// An offline run of a generated program through the real window (offscreen,
// the event pump after every pulse), then the same program through the core
// alone with a no-op pump: pulses per second of each. Both run with "Fast"
// ticked (unpaced): the figure is the cost per pulse, not the feed.
#include <QApplication>
#include <QTemporaryDir>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>

#include "bench/gen_program.h"
#include "core/interpreter/run_control.h"
#include "core/machine/quiet_window.h"
#include "gui/console/app_context.h"
#include "gui/console/control_panel.h"
#include "gui/console/main_window.h"
#include "gui/console/panels.h"

using namespace brimo;

namespace {

// Counts pulses: one event pump per pulse in the run loops.
struct CountingWindow : QuietWindow {
  long pumps = 0;
  void PumpEvents() override { ++pumps; }
};

double Seconds(std::chrono::steady_clock::time_point t0) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication qapp(argc, argv);
  const long lines = argc > 1 ? std::atol(argv[1]) : 200;
  QTemporaryDir dir;
  const std::string path = dir.filePath("bench.txt").toStdString();
  std::ofstream(path) << bench::GenerateProgramText(lines, 7);

  // Through the window.
  gui::AppContext app(dir.path());
  gui::StartOptions options;
  options.safetyDialog = false;
  options.offline = true;
  app.Start(options);
  app.window().SetMessageSink([](const std::string&, const std::string&) {});
  app.mainWindow().Panel()->Run()->Check3()->click();  // "Fast"; the core copies it below
  app.mainWindow().OpenProgramFile(QString::fromStdString(path));
  auto t0 = std::chrono::steady_clock::now();
  Execute(app.core());
  const double windowSeconds = Seconds(t0);

  // Through the core alone, same settings and program.
  MachineState ms = app.ms();
  CountingWindow win;
  VirtualClock clock;
  PortLink link(nullptr);
  ProgramStore store = app.store();
  PlotState plot = app.plot();
  Core c{ms, win, clock, link, store, plot};
  ResetRunState(c);
  ms.PrgX = ms.PrgY = ms.PrgZ = 0;
  t0 = std::chrono::steady_clock::now();
  Execute(c);
  const double coreSeconds = Seconds(t0);

  const double pulses = static_cast<double>(win.pumps);
  std::printf("%ld lines, %.0f pulses\n", lines, pulses);
  std::printf("window (offscreen, pump per pulse): %.3f s, %.0f pulses/s\n", windowSeconds,
              pulses / windowSeconds);
  std::printf("core alone (no-op pump):            %.3f s, %.0f pulses/s\n", coreSeconds,
              pulses / coreSeconds);
  return 0;
}
