// brimocnc built without the window (BRIMO_GUI=OFF, e.g. the Windows
// command-line build): --help, --version and --simulate FILE [...] as in the
// full program; a start that asks for the window says this build has none.
#include <filesystem>
#include <iostream>
#include <optional>

#include "core/machine/config_location.h"
#include "core/machine/messages.h"
#include "core/sim/sim_command_line.h"

int main(int argc, char** argv) {
  const brimo::Command command = brimo::ReadCommandLine(argc, argv);
  const std::filesystem::path programFolder = brimo::ExecutableFolder();
  if (const std::optional<int> status =
          brimo::AnswerWithoutWindow(command, argc, argv, std::cout, std::cerr, programFolder))
    return *status;
  std::cerr << brimo::msg::kSimPrefix << brimo::msg::kCliNoWindow << "\n";
  return 2;
}
