// The simulation's command line: `brimocnc --simulate FILE ...` reads the
// program and the configuration, runs the headless simulation (sim_engine.h)
// and writes its rows, summary or check findings (program_check.h) as text
// or JSON Lines. Run before any window exists: it needs no display.
//
// Callers: main(), tests and benchmarks (JsonString, ClockText).
#pragma once

#include <filesystem>
#include <iosfwd>
#include <optional>
#include <string>
#include <string_view>

namespace brimo {

// What a start of brimocnc asks for, read before any window exists (so
// --help, --version, the simulation and a mistyped option need no display).
enum class CommandKind {
  kWindow,    // the controller's window
  kSimulate,  // --simulate: SimulateMain reads the rest
  kHelp,      // --help, -h, -? anywhere: CommandLineHelp() on standard output, status 0
  kVersion,   // --version, -v anywhere: the version, status 0
  kUnusable,  // `problem` on standard error, status 2
};
struct Command {
  CommandKind kind = CommandKind::kWindow;
  bool offline = false;      // --offline
  bool safetyDialog = true;  // --no-safety-dialog clears it
  std::string programFile;   // the one word that is no option
  std::string problem;
};
// Window options: --offline, --no-safety-dialog, at most one program file;
// Qt's own options (-platform NAME, -style NAME ...) pass to Qt. Anything
// else that starts with '-' is an unknown option.
Command ReadCommandLine(int argc, char** argv);
// Both forms of the command line and the exit statuses.
std::string CommandLineHelp();

// Answers every start that needs no window (help, version, an unusable
// command line, the simulation, which reads the brimo.cfg the window reads,
// ConfigFileToRead(programFolder), unless --config names another) and
// returns its exit status; nothing for kWindow.
std::optional<int> AnswerWithoutWindow(const Command& command, int argc, char** argv,
                                       std::ostream& out, std::ostream& err,
                                       const std::filesystem::path& programFolder);

// True when the arguments ask for a simulation ("--simulate" among them).
bool WantsSimulation(int argc, char** argv);

// brimocnc --simulate FILE [--config FILE] [--override PERCENT]
//          [--scale F,X,Y,Z] [--json] [--check] [--vcd FILE]
// in any order: the program is the one word that is no option (or the value
// of --simulate=FILE).
// Settings from --config FILE, else from `ownConfig` (the brimo.cfg the
// window reads, ConfigFileToRead; missing: the defaults).
// Rows and a summary (or, with --check, the findings) on `out`, as text or
// JSON Lines; problems on `err`. Returns the exit status: 0 the program ran
// to its end with nothing to report, 1 findings or a refused line (or a run
// that could not go on), 2 unusable arguments, an unreadable program or
// configuration, or a dump that could not be written.
int SimulateMain(int argc, char** argv, std::ostream& out, std::ostream& err,
                 const std::string& ownConfig);

// A JSON string literal of `text` (quotes included): quote, backslash and
// control characters escaped; bytes that are not UTF-8 read as Latin-1.
std::string JsonString(std::string_view text);

// Seconds as "h:mm:ss.s" ("0:00:00.5", "1:02:03.4").
std::string ClockText(double seconds);

}  // namespace brimo
