// Golden-output tests: `brimocnc --simulate FILE --json` on every sample
// program and on stored generated programs, compared byte for byte with the
// files under tests/golden/. The simulation runs in this process through
// SimulateMain, the very entry point of the command line, so the text is
// exactly what the command prints.
//
// Every run names its configuration (--config tests/golden/golden.cfg, the
// default settings as the configuration file stores them), so a brimo.cfg
// beside a program or in the working folder changes nothing here.
//
// Per case two files: <name>.jsonl holds the standard output, <name>.exit
// the exit status and then the error output. A golden file changes only
// when a change of behaviour is intended: scripts/update-golden.sh rewrites
// them (it runs this test with BRIMO_UPDATE_GOLDEN set).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "core/machine/config_file.h"
#include "core/machine/machine_state.h"
#include "core/machine/settings_form.h"
#include "core/sim/sim_command_line.h"
#include "golden_programs.h"

namespace brimo {
namespace {

namespace fs = std::filesystem;
using golden::ProgramKind;

const fs::path kSource = BRIMO_SOURCE_DIR;
const fs::path kGolden = kSource / "tests" / "golden";
const fs::path kConfig = kGolden / "golden.cfg";

struct GoldenCase {
  const char* name;                  // golden files <name>.jsonl and <name>.exit
  const char* program;               // below the source folder
  std::vector<std::string> options;  // beyond --simulate, --config and --json
  // A generated program: how it was made (written only on a request to
  // make the stored programs anew).
  bool generated = false;
  ProgramKind kind = ProgramKind::kMixed;
  long lines = 0;
  uint64_t seed = 0;
  bool crlf = false;  // line ends CR LF (as a file from a Windows CAM program)
};

void PrintTo(const GoldenCase& c, std::ostream* os) { *os << c.name; }

GoldenCase Sample(const char* name, const char* program) { return {name, program, {}}; }

GoldenCase Generated(const char* name, ProgramKind kind, long lines, uint64_t seed,
                     bool crlf = false, std::vector<std::string> options = {}) {
  GoldenCase c{name, nullptr, std::move(options)};
  c.generated = true, c.kind = kind, c.lines = lines, c.seed = seed, c.crlf = crlf;
  return c;
}

// The stored program of a generated case: tests/golden/<kind>_s<seed>.nc.
std::string ProgramPath(const GoldenCase& c) {
  if (!c.generated) return (kSource / c.program).string();
  static const char* const kKindNames[] = {"mixed", "straight", "arcs", "drilling", "odd"};
  return (kGolden / (std::string(kKindNames[static_cast<int>(c.kind)]) + "_s" +
                     std::to_string(c.seed) + ".nc"))
      .string();
}

const std::vector<GoldenCase>& Cases() {
  static const std::vector<GoldenCase> cases = {
      Sample("sample_contour", "gcodes/contour.txt"),
      Sample("sample_drill", "gcodes/drill.txt"),
      Sample("sample_pocket", "gcodes/pocket.txt"),
      Sample("sample_toolchange", "gcodes/toolchange.txt"),
      Generated("mixed_s1", ProgramKind::kMixed, 200, 1, true),
      Generated("mixed_s7", ProgramKind::kMixed, 200, 7),
      Generated("straight_s2", ProgramKind::kStraight, 200, 2),
      Generated("arcs_s3", ProgramKind::kArcs, 150, 3),
      Generated("drilling_s4", ProgramKind::kDrilling, 150, 4),
      Generated("odd_s5", ProgramKind::kOdd, 120, 5),
      // The override and the scale factors act on every line.
      Generated("mixed_s7_override_scale", ProgramKind::kMixed, 200, 7, false,
                {"--override", "150", "--scale", "0.5,1.25,0.8,1"}),
      // The program check's findings instead of rows.
      Generated("odd_s5_check", ProgramKind::kOdd, 120, 5, false, {"--check"}),
      Generated("arcs_s3_check", ProgramKind::kArcs, 150, 3, false, {"--check"}),
  };
  return cases;
}

struct Output {
  std::string out;   // standard output
  std::string exit;  // "exit N\n", then the error output
};

Output Simulate(const GoldenCase& c) {
  std::vector<std::string> args = {"brimocnc", "--simulate",     ProgramPath(c),
                                   "--config", kConfig.string(), "--json"};
  args.insert(args.end(), c.options.begin(), c.options.end());
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  std::ostringstream out, err;
  const int status = SimulateMain(static_cast<int>(argv.size()), argv.data(), out, err, "");
  return {out.str(), "exit " + std::to_string(status) + "\n" + err.str()};
}

std::string ReadFile(const fs::path& p, bool& found) {
  std::ifstream in(p, std::ios::binary);
  found = static_cast<bool>(in);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

bool WriteFile(const fs::path& p, const std::string& text) {
  std::ofstream f(p, std::ios::binary | std::ios::trunc);
  f << text;
  f.close();
  return !f.fail();
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string l; std::getline(in, l);) lines.push_back(l);
  if (!text.empty() && text.back() != '\n') lines.back() += "  (no line end)";
  return lines;
}

// A short unified diff around the first difference: up to three lines of
// context before it, then the differing lines of each side (at most eight);
// with both sides of the same length, only the block up to the next equal line.
std::string FirstDifference(const std::string& expected, const std::string& actual) {
  const std::vector<std::string> e = Lines(expected), a = Lines(actual);
  size_t first = 0;
  while (first < e.size() && first < a.size() && e[first] == a[first]) ++first;
  size_t differing = 0;
  for (size_t i = 0; i < std::max(e.size(), a.size()); ++i)
    differing += i >= e.size() || i >= a.size() || e[i] != a[i];
  const size_t from = first >= 3 ? first - 3 : 0;
  size_t eEnd = std::min(e.size(), first + 8), aEnd = std::min(a.size(), first + 8);
  if (e.size() == a.size()) {
    eEnd = first;
    while (eEnd < e.size() && e[eEnd] != a[eEnd] && eEnd < first + 8) ++eEnd;
    aEnd = eEnd;
  }
  std::string d = "--- golden (" + std::to_string(e.size()) + " lines)\n+++ now (" +
                  std::to_string(a.size()) + " lines), " + std::to_string(differing) +
                  " lines differ\n@@ -" + std::to_string(from + 1) + " +" +
                  std::to_string(from + 1) + " @@\n";
  for (size_t i = from; i < first; ++i) d += " " + e[i] + "\n";
  for (size_t i = first; i < eEnd; ++i) d += "-" + e[i] + "\n";
  for (size_t i = first; i < aEnd; ++i) d += "+" + a[i] + "\n";
  return d;
}

// BRIMO_UPDATE_GOLDEN=1 rewrites the golden files; =inputs also makes the
// generated programs and golden.cfg anew first.
std::string UpdateMode() {
  const char* v = std::getenv("BRIMO_UPDATE_GOLDEN");
  return v ? v : "";
}

void WriteInputs(const GoldenCase& c) {
  MachineState ms;
  SettingsForm form;
  ASSERT_TRUE(ApplyFormSettings(ms, form, "0").ok);
  ASSERT_TRUE(WriteFile(kConfig, ConfigText(ms, form)));
  if (!c.generated) return;
  std::string text;
  for (const std::string& l : golden::GoldenProgramLines(c.kind, c.lines, c.seed))
    text += l + (c.crlf ? "\r\n" : "\n");
  ASSERT_TRUE(WriteFile(ProgramPath(c), text));
}

class SimulateJsonGolden : public ::testing::TestWithParam<GoldenCase> {};

TEST_P(SimulateJsonGolden, MatchesStoredOutput) {
  const GoldenCase& c = GetParam();
  const std::string mode = UpdateMode();
  if (mode == "inputs") WriteInputs(c);
  const Output now = Simulate(c);
  const fs::path outFile = kGolden / (std::string(c.name) + ".jsonl");
  const fs::path exitFile = kGolden / (std::string(c.name) + ".exit");
  if (!mode.empty()) {
    ASSERT_TRUE(WriteFile(outFile, now.out) && WriteFile(exitFile, now.exit)) << outFile;
    return;
  }
  bool found = false;
  const std::string out = ReadFile(outFile, found);
  ASSERT_TRUE(found) << outFile << " is missing: scripts/update-golden.sh writes it";
  const std::string exit = ReadFile(exitFile, found);
  ASSERT_TRUE(found) << exitFile << " is missing: scripts/update-golden.sh writes it";
  EXPECT_TRUE(out == now.out) << outFile << "\n" << FirstDifference(out, now.out);
  EXPECT_TRUE(exit == now.exit) << exitFile << "\n" << FirstDifference(exit, now.exit);
}

INSTANTIATE_TEST_SUITE_P(Golden, SimulateJsonGolden, ::testing::ValuesIn(Cases()),
                         [](const ::testing::TestParamInfo<GoldenCase>& i) {
                           return std::string(i.param.name);
                         });

}  // namespace
}  // namespace brimo
