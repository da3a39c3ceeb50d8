// brimocnc [--offline] [--no-safety-dialog] [FILE]
// Starts the controller; FILE (a G-code program, e.g. from the desktop's
// "Open with") is opened after start-up exactly as File > Open opens it.
// brimocnc --simulate FILE [...] runs the program headless (no display).
#include <QApplication>
#include <QCommandLineParser>
#include <iostream>

#include "core/sim/sim_command_line.h"
#include "gui/console/app_context.h"

int main(int argc, char** argv) {
  // Before any window exists: the simulation needs no display.
  if (brimo::WantsSimulation(argc, argv))
    return brimo::SimulateMain(argc, argv, std::cout, std::cerr);
  QApplication app(argc, argv);
  QApplication::setApplicationName("BrimoCNC");
  QApplication::setApplicationVersion(BRIMO_VERSION);

  QCommandLineParser parser;
  parser.setApplicationDescription("Controller for a three-axis CNC mill on the parallel port.");
  parser.addHelpOption();
  parser.addVersionOption();
  const QCommandLineOption offline("offline", "Start offline: nothing is written to the port.");
  const QCommandLineOption noSafety("no-safety-dialog",
                                    "Do not show the safety agreement at start-up.");
  parser.addOption(offline);
  parser.addOption(noSafety);
  parser.addPositionalArgument("file", "G-code program to open after start-up.", "[file]");
  parser.process(app);

  brimo::gui::StartOptions options;
  options.offline = parser.isSet(offline);
  options.safetyDialog = !parser.isSet(noSafety);
  if (!parser.positionalArguments().isEmpty())
    options.programFile = parser.positionalArguments().constFirst();

  brimo::gui::AppContext context(QCoreApplication::applicationDirPath());
  context.Start(options);
  return app.exec();
}
