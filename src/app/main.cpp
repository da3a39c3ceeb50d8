// brimocnc [--offline] [--no-safety-dialog] [FILE]; brimocnc --help, --version
// Starts the controller; FILE (a G-code program, e.g. from the desktop's
// "Open with") is opened after start-up exactly as File > Open opens it.
// brimocnc --simulate FILE [...] runs the program headless (no display).
#include <QApplication>
#include <QIcon>
#include <filesystem>
#include <iostream>
#include <optional>

#include "core/machine/config_location.h"
#include "core/machine/messages.h"
#include "core/sim/sim_command_line.h"
#include "gui/console/app_context.h"

int main(int argc, char** argv) {
  // Read before any window exists: help, version, the simulation and a
  // mistyped option need no display.
  const brimo::Command command = brimo::ReadCommandLine(argc, argv);
  const std::filesystem::path programFolder = brimo::ExecutableFolder();
  if (const std::optional<int> status =
          brimo::AnswerWithoutWindow(command, argc, argv, std::cout, std::cerr, programFolder))
    return *status;
  QApplication app(argc, argv);
  QApplication::setApplicationName("BrimoCNC");
  QApplication::setApplicationVersion(BRIMO_VERSION);
  // The installed desktop entry and icon (the icon is absent in a build
  // folder: the window then has the platform's default).
  QGuiApplication::setDesktopFileName("brimocnc");
  QApplication::setWindowIcon(QIcon::fromTheme("brimocnc"));

  brimo::gui::StartOptions options;
  options.offline = command.offline;
  options.safetyDialog = command.safetyDialog;
  if (!command.programFile.empty())
    options.programFile = QString::fromLocal8Bit(command.programFile.c_str());

  // Settings in the user's own folder; samples beside the executable (a
  // build folder) or in the installed share folder.
  std::string note;
  const std::filesystem::path configFolder = brimo::PrepareConfigFolder(programFolder, note);
  options.samplesFolder =
      QString::fromStdU16String(brimo::SamplesFolder(programFolder).u16string());
  options.startupNote = note;
  // Also on standard error: a program opened at start-up writes its own
  // message line over the note.
  if (!note.empty()) std::cerr << "BrimoCNC: " << note << "\n";
  brimo::gui::AppContext context(QString::fromStdU16String(configFolder.u16string()));
  context.Start(options);
  return app.exec();
}
