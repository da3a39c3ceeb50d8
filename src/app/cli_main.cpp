// brimocnc built without the window (BRIMO_GUI=OFF, e.g. the Windows
// command-line build): --help, --version and --simulate FILE [...] as in the
// full program; a start that asks for the window says this build has none.
#include <iostream>

#include "core/machine/config_location.h"
#include "core/machine/messages.h"
#include "core/sim/sim_command_line.h"

int main(int argc, char** argv) {
  const brimo::Command command = brimo::ReadCommandLine(argc, argv);
  switch (command.kind) {
    case brimo::CommandKind::kHelp:
      std::cout << brimo::CommandLineHelp();
      return 0;
    case brimo::CommandKind::kVersion:
      std::cout << "brimocnc " << BRIMO_VERSION << "\n";
      return 0;
    case brimo::CommandKind::kUnusable:
      std::cerr << brimo::msg::kSimPrefix << command.problem << "\n"
                << brimo::msg::kCmdTryHelp << "\n";
      return 2;
    case brimo::CommandKind::kSimulate:
      return brimo::SimulateMain(argc, argv, std::cout, std::cerr,
                                 brimo::ConfigFileToRead(brimo::ExecutableFolder()).string());
    case brimo::CommandKind::kWindow:
      break;
  }
  std::cerr << brimo::msg::kSimPrefix << brimo::msg::kCliNoWindow << "\n";
  return 2;
}
