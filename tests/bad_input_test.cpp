// Bad input for `brimocnc --simulate FILE`: one table of programs a
// careless editor, a wrong export or a wrong file choice can hand the
// machine, each with the exit status, a piece of the message and the motion
// it must give. Nothing moves unless the line is sound. Runs in-process on
// the virtual clock, so the whole table stays fast.
#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/stat.h>
#endif

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "core/machine/config_file.h"
#include "core/machine/machine_state.h"
#include "core/machine/messages.h"
#include "core/machine/settings_form.h"
#include "core/sim/sim_command_line.h"

namespace brimo::test {
namespace {

namespace fs = std::filesystem;

// What the program file is.
enum class Input {
  kText,       // a regular file holding `text`
  kFolder,     // a folder
  kMissing,    // no file at that path
  kFifo,       // a named pipe no one writes to (opening it would wait for ever)
  kManyLines,  // 200 000 lines: `text` (two lines) 100 000 times
  kLongLine,   // one line of 1 MB: `text` and then as many `fill` bytes
};

struct BadInput {
  const char* name;
  Input input;
  std::string text;
  bool check;           // run with --check (the findings name the line)
  int status;           // exit status
  std::string message;  // a piece of what is written to out or err
  long steps[3];        // steps made per axis, either direction
  double end[3];        // program position at the end (0.01 length units per step)
  char fill = ' ';
};

void PrintTo(const BadInput& c, std::ostream* os) { *os << c.name; }

using std::string_literals::operator""s;

// 0.01 length units per step: X1 is 100 steps. "Finished" rows name no
// message of their own: the run went through to its end.
const char* const kFinished = "\"finished\":true";
// clang-format off
const BadInput kCases[] = {
  // name, input, text, --check, status, message, steps X Y Z, end X Y Z
  // -- Not a text program: refused whole, before anything runs.
  {"Binary", Input::kText, "\x7f\x45\x4c\x46\x02\x01\x01\x00\x00\x03"s, false, 2, msg::kProgramNulByte, {0, 0, 0}, {0, 0, 0}},
  {"Utf16WithMark", Input::kText, "\xff\xfeG\0000\0001\000 \000X\0001\000"s, false, 2, msg::kProgramUtf16, {0, 0, 0}, {0, 0, 0}},
  {"Utf16BigEndianWithMark", Input::kText, "\xfe\xff\000G\0000\0001\000 \000X\0001"s, false, 2, msg::kProgramUtf16, {0, 0, 0}, {0, 0, 0}},
  {"Utf16WithoutMark", Input::kText, "G\0000\0001\000 \000X\0001\000\r\000\n\000"s, false, 2, msg::kProgramNulByte, {0, 0, 0}, {0, 0, 0}},
  {"NulInsideALine", Input::kText, "G01 X1\000 F600\n"s, false, 2, msg::kProgramNulByte, {0, 0, 0}, {0, 0, 0}},
  {"Folder", Input::kFolder, "", false, 2, msg::kProgramIsFolder, {0, 0, 0}, {0, 0, 0}},
  {"MissingFile", Input::kMissing, "", false, 2, msg::kProgramNotOpened, {0, 0, 0}, {0, 0, 0}},
  {"PipeWithoutWriter", Input::kFifo, "", false, 2, msg::kProgramNotRegular, {0, 0, 0}, {0, 0, 0}},
  // -- Text with nothing to do.
  {"Empty", Input::kText, "", false, 0, "\"lines\":0", {0, 0, 0}, {0, 0, 0}},
  {"OnlyLineEnds", Input::kText, "\r\n\r\n\n", false, 0, kFinished, {0, 0, 0}, {0, 0, 0}},
  {"BinaryWithoutNul", Input::kText, "\x89PNG\r\n\x1a\n\xff\xd8\xff\xe0X1", false, 0, kFinished, {0, 0, 0}, {0, 0, 0}},
  // -- Line ends and marks that must not hide a sound line.
  {"CarriageReturnEnds", Input::kText, "G01 X1 F600\rG01 Y1\r", false, 0, kFinished, {100, 100, 0}, {1, 1, 0}},
  {"Utf8ByteOrderMark", Input::kText, "\xef\xbb\xbfG01 X1 F600\n", false, 0, kFinished, {100, 0, 0}, {1, 0, 0}},
  {"CommaInsideAComment", Input::kText, "G01 X1 F600 (one, two, Y5)\n", false, 0, kFinished, {100, 0, 0}, {1, 0, 0}},
  {"NestedComment", Input::kText, "G01 X1 F600 (a (b) c)\n", true, 1, msg::kCheckNestedComment, {100, 0, 0}, {1, 0, 0}},
  {"MegabyteComment", Input::kLongLine, "G01 X1 F600 (", false, 0, kFinished, {100, 0, 0}, {1, 0, 0}, 'a'},
  {"ManyLines", Input::kManyLines, "G01 X0.01 F6000\nG01 X0\n", true, 0, "\"lines\":200000", {200000, 0, 0}, {0, 0, 0}},
  // -- Numbers: a value that is no finite number refuses its line; text
  //    that holds no number reads as 0 (a rule of the dialect) and is named.
  {"NumberTooLarge", Input::kText, "G01 X1e400 F600\n", false, 1, msg::kNotFinite, {0, 0, 0}, {0, 0, 0}},
  {"MegabyteNumber", Input::kLongLine, "G01 F600 X", false, 1, msg::kNotFinite, {0, 0, 0}, {0, 0, 0}, '9'},
  {"NumberTooSmall", Input::kText, "G01 X1e-400 F600\n", false, 0, kFinished, {0, 0, 0}, {0, 0, 0}},
  {"NotANumber", Input::kText, "G01 XNaN F600\n", true, 1, msg::kCheckNotANumber, {0, 0, 0}, {0, 0, 0}},
  {"InfinityWord", Input::kText, "G01 Xinf F600\n", true, 1, msg::kCheckNotANumber, {0, 0, 0}, {0, 0, 0}},
  {"LonePoint", Input::kText, "G01 X. F600\n", true, 1, msg::kCheckNotANumber, {0, 0, 0}, {0, 0, 0}},
  {"DoubleMinus", Input::kText, "G01 X--5 F600\n", true, 1, msg::kCheckNotANumber, {0, 0, 0}, {0, 0, 0}},
  {"MoreStepsThanAnInt", Input::kText, "G01 X30000000 F600\n", false, 1, msg::kTooManySteps, {0, 0, 0}, {0, 0, 0}},
  // -- Feeds.
  {"FeedZero", Input::kText, "G01 X1 F0\n", false, 1, msg::kSimNoteZeroFeed, {0, 0, 0}, {0, 0, 0}},
  {"FeedNegative", Input::kText, "G01 X1 F-600\n", false, 1, msg::kSimNoteZeroFeed, {0, 0, 0}, {0, 0, 0}},
  {"RapidBeforeAnyFeed", Input::kText, "G00 X1\n", false, 0, kFinished, {100, 0, 0}, {1, 0, 0}},
  {"FeedMoveBeforeAnyFeed", Input::kText, "G01 X1\n", false, 1, msg::kSimNoteZeroFeed, {0, 0, 0}, {0, 0, 0}},
  {"TinyFeed", Input::kText, "G01 X1 F0.000001\n", false, 1, msg::kSlowFeedTitle, {0, 0, 0}, {0, 0, 0}},
  // -- Arcs: I and J both 0 make the line the straight move it describes;
  //    an end on the start is a full circle (both rules of the dialect).
  {"ZeroRadiusArc", Input::kText, "G02 X1 Y0 I0 J0 F600\n", false, 0, kFinished, {100, 0, 0}, {1, 0, 0}},
  {"ZeroRadiusShortArc", Input::kText, "G2 X1 Y0 I0 J0 F600\n", false, 0, kFinished, {100, 0, 0}, {1, 0, 0}},
  {"ArcWithCentreOnly", Input::kText, "G02 I1 J0 F600\n", false, 0, kFinished, {398, 396, 0}, {0, 0, 0}},
  // -- Drilling: Q is the number of pecks, below 1 it is 1 (a rule of the
  //    dialect); up to R, down to Z, back to R: 100 + 200 + 200 Z steps.
  {"PeckZero", Input::kText, "G83 X0 Y0 Z-1 R1 Q0 F600\n", false, 0, kFinished, {0, 0, 500}, {0, 0, 1}},
  {"PeckNegative", Input::kText, "G83 X0 Y0 Z-1 R1 Q-1 F600\n", false, 0, kFinished, {0, 0, 500}, {0, 0, 1}},
  {"PeckHuge", Input::kText, "G83 X0 Y0 Z-1 R1 Q1e9 F600\n", false, 1, msg::kTooManyPecks, {0, 0, 0}, {0, 0, 0}},
  {"RetractBelowDepth", Input::kText, "G81 X1 Y0 Z-1 R-2 F600\n", false, 1, msg::kDrillRNotAbove, {0, 0, 0}, {0, 0, 0}},
  // -- Words the dialect reads otherwise than the text suggests.
  {"EndInTheMiddle", Input::kText, "G01 X1 F600\nM30\nG01 Y1\n", true, 1, msg::kCheckEndBeforeLast, {100, 100, 0}, {1, 1, 0}},
  {"LowerCase", Input::kText, "g01 x1 f600\n", true, 1, msg::kCheckLowerCase, {0, 0, 0}, {0, 0, 0}},
  {"LineStartingWithAComment", Input::kText, "(start) G01 X1 F600\n", true, 1, msg::kCheckSkippedWords, {0, 0, 0}, {0, 0, 0}},
  {"UnknownGWordStopsMotion", Input::kText, "G01 X1 F600\nG21 X2\n", false, 0, kFinished, {100, 0, 0}, {1, 0, 0}},
};
// clang-format on

class BadInputTest : public ::testing::TestWithParam<BadInput> {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("brimo_bad_" + std::string(GetParam().name) + "_" +
                                        std::to_string(std::random_device{}()));
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    // Lead 4 and 400 steps per turn on every axis: 0.01 length units per step.
    MachineState ms;
    SettingsForm form;
    form.LeadX = form.LeadY = form.LeadZ = "4";
    form.StepsPerRevX = form.StepsPerRevY = form.StepsPerRevZ = "400";
    ASSERT_TRUE(ApplyFormSettings(ms, form, "0").ok);
    std::ofstream(dir_ / kConfigName, std::ios::binary) << ConfigText(ms, form);
  }
  void TearDown() override { fs::remove_all(dir_); }

  // The program file of `c`, made as its kind says.
  std::string Make(const BadInput& c) {
    const fs::path p = dir_ / "program.nc";
    switch (c.input) {
      case Input::kText:
        std::ofstream(p, std::ios::binary) << c.text;
        break;
      case Input::kFolder:
        fs::create_directory(p);
        break;
      case Input::kMissing:
        break;
      case Input::kFifo:
#ifdef _WIN32
        ADD_FAILURE() << "no named pipes in the file system here";
#else
        EXPECT_EQ(::mkfifo(p.c_str(), 0600), 0);
#endif
        break;
      case Input::kManyLines: {
        std::string text;
        for (int i = 0; i < 100'000; ++i) text += c.text;
        std::ofstream(p, std::ios::binary) << text;
        break;
      }
      case Input::kLongLine:
        std::ofstream(p, std::ios::binary)
            << c.text << std::string(1 << 20, c.fill) << (c.fill == 'a' ? ")\n" : "\n");
        break;
    }
    return p.string();
  }

  fs::path dir_;
};

// The summary's numbers: "steps":[x,y,z] and "program":[x,y,z].
bool ReadSummary(const std::string& out, long steps[3], double end[3]) {
  const size_t s = out.find("{\"type\":\"summary\"");
  if (s == std::string::npos) return false;
  const std::string summary = out.substr(s);
  const size_t st = summary.find("\"steps\":[");
  const size_t pr = summary.find("\"program\":[");
  return st != std::string::npos && pr != std::string::npos &&
         std::sscanf(summary.c_str() + st, "\"steps\":[%ld,%ld,%ld]", &steps[0], &steps[1],
                     &steps[2]) == 3 &&
         std::sscanf(summary.c_str() + pr, "\"program\":[%lf,%lf,%lf]", &end[0], &end[1],
                     &end[2]) == 3;
}

TEST_P(BadInputTest, ExitStatusMessageAndMotion) {
  const BadInput& c = GetParam();
#ifdef _WIN32
  if (c.input == Input::kFifo) GTEST_SKIP() << "no named pipes in the Windows file system";
#endif
  std::vector<std::string> args = {"brimocnc", "--simulate", Make(c), "--json"};
  if (c.check) args.push_back("--check");
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  std::ostringstream out, err;
  const int status = SimulateMain(static_cast<int>(argv.size()), argv.data(), out, err,
                                  (dir_ / kConfigName).string());
  const std::string said = out.str() + err.str();
  const std::string shown = said.size() > 2000 ? said.substr(said.size() - 2000) : said;

  EXPECT_EQ(status, c.status) << shown;
  EXPECT_NE(said.find(c.message), std::string::npos) << c.message << "\n" << shown;
  long steps[3] = {0, 0, 0};
  double end[3] = {0, 0, 0};
  if (c.status == 2) {
    EXPECT_FALSE(ReadSummary(out.str(), steps, end)) << "a refused file must not run";
    return;
  }
  ASSERT_TRUE(ReadSummary(out.str(), steps, end)) << shown;
  for (int a = 0; a < 3; ++a) {
    EXPECT_EQ(steps[a], c.steps[a]) << "axis " << a << "\n" << shown;
    EXPECT_NEAR(end[a], c.end[a], 1e-9) << "axis " << a;
  }
}

INSTANTIATE_TEST_SUITE_P(Programs, BadInputTest, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace brimo::test
