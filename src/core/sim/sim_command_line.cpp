#include "core/sim/sim_command_line.h"

#include <charconv>
#include <cmath>
#include <exception>
#include <filesystem>
#include <fstream>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "core/interpreter/parser.h"
#include "core/machine/config_file.h"
#include "core/machine/config_location.h"
#include "core/machine/machine_state.h"
#include "core/machine/messages.h"
#include "core/machine/settings_form.h"
#include "core/plot/toolpath.h"
#include "core/program/program_store.h"
#include "core/sim/program_check.h"
#include "core/sim/sim_engine.h"
#include "core/sim/sim_text.h"
#include "core/sim/vcd_writer.h"

namespace brimo {

namespace fs = std::filesystem;

namespace {

using sim_text::Quoted;

// Fixed decimals, period as the decimal point whatever the locale.
std::string Fixed(double v, int decimals) {
  char buf[400];
  auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, decimals);
  return std::string(buf, r.ptr);
}

struct Arguments {
  std::string program, config, vcd;
  double overridePercent = 100;
  double scale[4] = {1, 1, 1, 1};
  bool json = false, check = false;
};

// Parses the arguments; false with `problem` set when they cannot be used.
bool ParseArguments(int argc, char** argv, Arguments& a, std::string& problem) {
  bool seen[7] = {};
  enum { kSim, kConfig, kOverride, kScale, kVcd, kJson, kCheck };
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    std::string value;
    bool inlineValue = false;
    // A word that is no option is the program, wherever it stands.
    if (arg.empty() || arg[0] != '-' || arg == "-") {
      if (!a.program.empty()) {
        problem = msg::kCmdTwoPrograms + Quoted(a.program) + ", " + Quoted(arg);
        return false;
      }
      a.program = arg;
      continue;
    }
    if (const size_t eq = arg.find('='); arg.rfind("--", 0) == 0 && eq != std::string::npos) {
      value = arg.substr(eq + 1);
      arg = arg.substr(0, eq);
      inlineValue = true;
    }
    int which = -1;
    if (arg == "--simulate") which = kSim;
    if (arg == "--config") which = kConfig;
    if (arg == "--override") which = kOverride;
    if (arg == "--scale") which = kScale;
    if (arg == "--vcd") which = kVcd;
    if (arg == "--json") which = kJson;
    if (arg == "--check") which = kCheck;
    if (which < 0 || ((which == kJson || which == kCheck) && inlineValue)) {
      problem = msg::kSimUnknownOption + Quoted(argv[i]);
      return false;
    }
    if (seen[which]) {
      problem = arg + msg::kSimTwice;
      return false;
    }
    seen[which] = true;
    if (which == kJson) {
      a.json = true;
      continue;
    }
    if (which == kCheck) {
      a.check = true;
      continue;
    }
    // "--simulate" may stand alone, with the program elsewhere:
    // "--simulate --check FILE" reads as "--simulate FILE --check".
    if (which == kSim && !inlineValue) continue;
    if (!inlineValue) {
      if (i + 1 >= argc) {
        problem = which == kSim ? std::string(msg::kSimNoProgram) : arg + msg::kSimNeedsValue;
        return false;
      }
      value = argv[++i];
    }
    if (value.empty()) {
      problem = which == kSim ? std::string(msg::kSimNoProgram) : arg + msg::kSimNeedsValue;
      return false;
    }
    switch (which) {
      case kSim:
        if (!a.program.empty()) {
          problem = msg::kCmdTwoPrograms + Quoted(a.program) + ", " + Quoted(value);
          return false;
        }
        a.program = value;
        break;
      case kConfig:
        a.config = value;
        break;
      case kVcd:
        a.vcd = value;
        break;
      case kOverride: {
        double v = 0;
        // The window's bounds for the override.
        if (!ReadFieldNumber(value, v) || !(v >= 2 && v <= 500)) {
          problem = msg::kSimBadOverride + Quoted(value);
          return false;
        }
        a.overridePercent = v;
        break;
      }
      case kScale: {
        std::vector<std::string> parts(1);
        for (char ch : value) {
          if (ch == ',')
            parts.emplace_back();
          else
            parts.back() += ch;
        }
        bool ok = parts.size() == 4;
        for (size_t k = 0; ok && k < 4; ++k)
          ok = ReadFieldNumber(parts[k], a.scale[k]) && std::isfinite(a.scale[k]);
        if (!ok) {
          problem = msg::kSimBadScale + Quoted(value);
          return false;
        }
        break;
      }
      default:
        break;
    }
  }
  if (a.program.empty()) {
    problem = msg::kSimNoProgram;
    return false;
  }
  return true;
}

std::string PadLeft(const std::string& s, size_t width) {
  return s.size() >= width ? s : std::string(width - s.size(), ' ') + s;
}
std::string PadRight(const std::string& s, size_t width) {
  return s.size() >= width ? s : s + std::string(width - s.size(), ' ');
}

std::string RowText(const SimulationRow& r) {
  std::string s = PadLeft(std::to_string(r.line), 6) + "  " + PadRight(r.motion, 8);
  for (double v : {r.x, r.y, r.z}) s += PadLeft(FormatPosition(v), 11);
  for (long n : r.steps) s += PadLeft(std::to_string(n), 9);
  s += PadLeft(Fixed(r.seconds, 6), 14) + "  " + r.text;
  if (!r.note.empty()) s += "  [" + r.note + "]";
  return s + "\n";
}

std::string RowJson(const SimulationRow& r) {
  std::string s = "{\"type\":\"row\",\"line\":" + std::to_string(r.line) +
                  ",\"text\":" + JsonString(r.text) + ",\"motion\":" + JsonString(r.motion) +
                  ",\"x\":" + FormatPosition(r.x) + ",\"y\":" + FormatPosition(r.y) +
                  ",\"z\":" + FormatPosition(r.z) + ",\"steps\":[" + std::to_string(r.steps[0]) +
                  "," + std::to_string(r.steps[1]) + "," + std::to_string(r.steps[2]) +
                  "],\"pulses\":" + std::to_string(r.pulses) +
                  ",\"time_s\":" + Fixed(r.seconds, 9) + ",\"note\":" + JsonString(r.note) +
                  ",\"refused\":" + (r.refused ? "true" : "false") + "}\n";
  return s;
}

std::string Triple(const double v[3], bool json) {
  if (json)
    return "[" + FormatPosition(v[0]) + "," + FormatPosition(v[1]) + "," + FormatPosition(v[2]) +
           "]";
  return "X " + FormatPosition(v[0]) + "  Y " + FormatPosition(v[1]) + "  Z " +
         FormatPosition(v[2]);
}

std::string SummaryText(const SimulationTotals& t) {
  std::string s;
  s += msg::kSimLines + std::to_string(t.lines) + "\n";
  s += msg::kSimPulses + std::to_string(t.pulses) + "\n";
  s += msg::kSimSteps + std::string("X ") + std::to_string(t.steps[0]) + "  Y " +
       std::to_string(t.steps[1]) + "  Z " + std::to_string(t.steps[2]) + "\n";
  s += msg::kSimRunTime + Fixed(t.seconds, 6) + " s (" + ClockText(t.seconds) + ")\n";
  s += msg::kSimProgramPos + Triple(t.prg, false) + "\n";
  s += msg::kSimMachinePos + Triple(t.mach, false) + "\n";
  s += msg::kSimToolChanges + std::to_string(t.toolChanges) + "\n";
  s += msg::kSimRefusedLines + std::to_string(t.refusedLines) + "\n";
  return s;
}

std::string SummaryJson(const SimulationTotals& t, long findings) {
  std::string s =
      "{\"type\":\"summary\",\"finished\":" + std::string(t.finished ? "true" : "false") +
      ",\"lines\":" + std::to_string(t.lines) + ",\"pulses\":" + std::to_string(t.pulses) +
      ",\"steps\":[" + std::to_string(t.steps[0]) + "," + std::to_string(t.steps[1]) + "," +
      std::to_string(t.steps[2]) + "],\"run_time_s\":" + Fixed(t.seconds, 9) +
      ",\"program\":" + Triple(t.prg, true) + ",\"machine\":" + Triple(t.mach, true) +
      ",\"tool_changes\":" + std::to_string(t.toolChanges) +
      ",\"refused_lines\":" + std::to_string(t.refusedLines) +
      ",\"worst_lateness_us\":" + NumberText(t.worstLatenessUs) +
      ",\"late_pulses\":" + std::to_string(t.latePulses);
  if (findings >= 0) s += ",\"findings\":" + std::to_string(findings);
  return s + "}\n";
}

std::string FindingText(const Finding& f) {
  return "line " + std::to_string(f.line) + ": " + f.message + "\n    " + f.text + "\n";
}

std::string FindingJson(const Finding& f) {
  return "{\"type\":\"finding\",\"line\":" + std::to_string(f.line) +
         ",\"kind\":" + JsonString(FindingKindName(f.kind)) + ",\"text\":" + JsonString(f.text) +
         ",\"message\":" + JsonString(f.message) + "}\n";
}

int Unusable(std::ostream& err, const std::string& problem, bool usage) {
  err << msg::kSimPrefix << problem << "\n";
  if (usage) err << msg::kSimUsage << "\n";
  return 2;
}

}  // namespace

std::string JsonString(std::string_view text) {
  std::string out = "\"";
  out.reserve(text.size() + 2);
  auto hex = [&](unsigned v) {
    static const char* kDigits = "0123456789abcdef";
    out += "\\u00";
    out += kDigits[(v >> 4) & 15];
    out += kDigits[v & 15];
  };
  // Length of the valid UTF-8 sequence starting at i, or 0.
  auto utf8 = [&](size_t i) -> size_t {
    const auto b = [&](size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char c = b(i);
    size_t n = 0;
    unsigned char lo = 0x80, hi = 0xBF;
    if (c >= 0xC2 && c <= 0xDF)
      n = 2;
    else if (c >= 0xE0 && c <= 0xEF)
      n = 3, lo = c == 0xE0 ? 0xA0 : 0x80, hi = c == 0xED ? 0x9F : 0xBF;
    else if (c >= 0xF0 && c <= 0xF4)
      n = 4, lo = c == 0xF0 ? 0x90 : 0x80, hi = c == 0xF4 ? 0x8F : 0xBF;
    else
      return 0;
    if (i + n > text.size()) return 0;
    if (b(i + 1) < lo || b(i + 1) > hi) return 0;
    for (size_t k = 2; k < n; ++k)
      if (b(i + k) < 0x80 || b(i + k) > 0xBF) return 0;
    return n;
  };
  for (size_t i = 0; i < text.size();) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c == '\n') {
      out += "\\n";
    } else if (c == '\r') {
      out += "\\r";
    } else if (c == '\t') {
      out += "\\t";
    } else if (c < 0x20 || c == 0x7F) {
      hex(c);
    } else if (c < 0x80) {
      out += static_cast<char>(c);
    } else if (const size_t n = utf8(i); n > 0) {
      out.append(text.substr(i, n));
      i += n;
      continue;
    } else {
      hex(c);  // not UTF-8: the byte as a Latin-1 character
    }
    ++i;
  }
  return out + "\"";
}

std::string ClockText(double seconds) {
  if (!(seconds >= 0) || !std::isfinite(seconds)) return "-";
  const long long tenths = std::llround(seconds * 10);
  const long long h = tenths / 36000, m = tenths / 600 % 60, s = tenths / 10 % 60, d = tenths % 10;
  return std::to_string(h) + ":" + (m < 10 ? "0" : "") + std::to_string(m) + ":" +
         (s < 10 ? "0" : "") + std::to_string(s) + "." + std::to_string(d);
}

namespace {

// Qt's own options (read by QApplication); those named here take a value.
constexpr std::string_view kQtValueOptions[] = {
    "-platform",    "-platformpluginpath", "-platformtheme", "-plugin", "-qwindowgeometry",
    "-qwindowicon", "-qwindowtitle",       "-display",       "-style",  "-stylesheet",
    "-session",     "-geometry",           "-title",         "-name"};
constexpr std::string_view kQtFlagOptions[] = {"-reverse", "-widgetcount", "-nograb", "-dograb",
                                               "-sync"};

template <size_t N>
bool Among(std::string_view a, const std::string_view (&list)[N]) {
  for (std::string_view o : list)
    if (a == o) return true;
  return false;
}

}  // namespace

Command ReadCommandLine(int argc, char** argv) {
  Command c;
  for (int i = 1; i < argc; ++i) {
    const std::string_view a = argv[i];
    if (a == "--help" || a == "-h" || a == "-?") {
      c.kind = CommandKind::kHelp;
      return c;
    }
    if (a == "--version" || a == "-v") {
      c.kind = CommandKind::kVersion;
      return c;
    }
  }
  if (WantsSimulation(argc, argv)) {
    c.kind = CommandKind::kSimulate;
    return c;
  }
  auto unusable = [&](std::string problem) {
    c.kind = CommandKind::kUnusable;
    c.problem = std::move(problem);
    return c;
  };
  for (int i = 1; i < argc; ++i) {
    const std::string_view a = argv[i];
    if (a == "--offline") {
      c.offline = true;
    } else if (a == "--no-safety-dialog") {
      c.safetyDialog = false;
    } else if (Among(a, kQtValueOptions)) {
      ++i;  // Qt's, with its value
    } else if (Among(a, kQtFlagOptions)) {
      // Qt's
    } else if (a.size() > 1 && a[0] == '-') {
      return unusable(msg::kSimUnknownOption + Quoted(std::string(a)));
    } else if (!c.programFile.empty()) {
      return unusable(msg::kCmdTwoPrograms + Quoted(c.programFile) + ", " + Quoted(std::string(a)));
    } else {
      c.programFile = a;
    }
  }
  return c;
}

std::string CommandLineHelp() { return msg::kCmdHelp; }

std::optional<int> AnswerWithoutWindow(const Command& command, int argc, char** argv,
                                       std::ostream& out, std::ostream& err,
                                       const fs::path& programFolder) {
  switch (command.kind) {
    case CommandKind::kHelp:
      out << CommandLineHelp();
      return 0;
    case CommandKind::kVersion:
      out << "brimocnc " << BRIMO_VERSION << "\n";
      return 0;
    case CommandKind::kUnusable:
      err << msg::kSimPrefix << command.problem << "\n" << msg::kCmdTryHelp << "\n";
      return 2;
    case CommandKind::kSimulate:
      return SimulateMain(argc, argv, out, err, ConfigFileToRead(programFolder).string());
    case CommandKind::kWindow:
      break;
  }
  return std::nullopt;
}

bool WantsSimulation(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    const std::string_view a = argv[i];
    if (a == "--simulate" || a.rfind("--simulate=", 0) == 0) return true;
  }
  return false;
}

int SimulateMain(int argc, char** argv, std::ostream& out, std::ostream& err,
                 const std::string& ownConfig) {
  Arguments args;
  std::string problem;
  if (!ParseArguments(argc, argv, args, problem)) return Unusable(err, problem, true);

  ProgramStore store;
  std::string why;
  if (!ReadProgramFile(args.program, store, why))
    return Unusable(err, msg::kSimProgramUnread + why, false);

  // Settings: the defaults, then the brimo.cfg the window reads (none: the
  // defaults stay) or the file named by --config (must load).
  MachineState settings;
  SettingsForm form;
  ApplyFormSettings(settings, form, "0");
  {
    MachineState loaded = settings;
    SettingsForm loadedForm;
    ConfigResult r;
    std::string shown;
    if (!args.config.empty()) {
      shown = args.config;
      r = LoadConfigurationFile(args.config, loaded, loadedForm, "0");
    } else {
      shown = ownConfig;
      r = LoadConfigurationFile(ownConfig, loaded, loadedForm, "0");
    }
    if (r.ok) {
      settings = loaded;
    } else if (!(r.missing && args.config.empty())) {
      return Unusable(err, msg::kSimConfigUnread + shown + ": " + ConfigProblem(r), false);
    }
  }

  std::ofstream vcdFile;
  std::vector<char> vcdBuffer;
  std::unique_ptr<VcdWriter> vcd;
  if (!args.vcd.empty()) {
    vcdBuffer.resize(1 << 20);
    vcdFile.rdbuf()->pubsetbuf(vcdBuffer.data(), static_cast<std::streamsize>(vcdBuffer.size()));
    vcdFile.open(fs::path(args.vcd), std::ios::binary | std::ios::trunc);
    if (!vcdFile) return Unusable(err, msg::kSimVcdUnwritable + args.vcd, false);
    vcd = std::make_unique<VcdWriter>(
        vcdFile, VcdSignalsFor(settings),
        "BrimoCNC simulation of " + fs::path(args.program).filename().string());
  }

  SimulationOptions o;
  o.overridePercent = args.overridePercent;
  for (int i = 0; i < 4; ++i) o.scale[i] = args.scale[i];
  o.rows = !args.check;
  o.check = args.check;
  o.vcd = vcd.get();

  std::vector<Finding> findings;
  RowSink sink;
  if (o.rows) {
    if (!args.json) out << msg::kSimRowHeading;
    sink = [&](const SimulationRow& r) { out << (args.json ? RowJson(r) : RowText(r)); };
  }
  SimulationTotals t;
  try {
    t = Simulate(store, settings, o, sink, &findings);
  } catch (const std::exception& e) {
    return Unusable(err, msg::kSimFailed + std::string(e.what()), false);
  }

  if (args.check) {
    for (const Finding& f : findings) out << (args.json ? FindingJson(f) : FindingText(f));
    if (!args.json) {
      out << (findings.empty() ? std::string(msg::kCheckNothing)
                               : std::to_string(findings.size()) + msg::kCheckFindings)
          << "\n";
    }
  }
  if (args.json) {
    out << SummaryJson(t, args.check ? static_cast<long>(findings.size()) : -1);
  } else if (!args.check) {
    out << "\n" << SummaryText(t);
  }
  out.flush();

  if (vcd) {
    const auto endTick = static_cast<int64_t>(std::llround(t.seconds * kSimulationFrequency));
    bool ok = vcd->Finish(endTick);
    vcdFile.close();
    if (!ok || vcdFile.fail()) return Unusable(err, msg::kSimVcdUnwritable + args.vcd, false);
  }

  int status = 0;
  if (!t.finished) {
    err << msg::kSimPrefix << msg::kSimStuck << std::to_string(t.stoppedAt) << msg::kSimStuckEnd
        << "\n";
    status = 1;
  }
  if (t.refusedLines > 0) status = 1;
  if (args.check && !findings.empty()) status = 1;
  return status;
}

}  // namespace brimo
