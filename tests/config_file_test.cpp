// brimo.cfg: layout and formats, load order and partial loads, the start-up
// handling of missing, damaged and unwritable files, and DeriveSettings.

#include "core/machine/config_file.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "core/machine/machine_state.h"
#include "core/machine/messages.h"
#include "core/machine/settings_form.h"
#include "core/machine/settings_table.h"
#include "support/fake_window.h"

namespace brimo {
namespace {

namespace fs = std::filesystem;

// The file a first start writes, line by line.
const std::vector<std::string> kDefaultLines = {
    "400",  "400",  "400",   "3",        "2",        "5",    "4",
    "7",    "6",    "0",     "0",        "15",       "500",  "200",
    "100",  "500",  "200",   "100",      "500",      "200",  "100",
    "10",   "11",   "12",    "13",       "3.00",     "3.00", "3.00",
    " 0 ",  " 0 ",  " 0 ",   "True",     "False",    " 0 ",  "5",
    " 0 ",  " 0 ",  " 0 ",   "Relative", "Relative", "Rel.", "10",
    "10",   "True", "False", "False",    "Rapid",    "100",  "/dev/parport0",
    "0x378"};

// A file in which every line differs from the default (inch selected).
const std::vector<std::string> kCustomLines = {
    "200",   "200",   "200",  "9",        "8",        "7",    "6",
    "5",     "4",     "1",    "2",        "20",       "400",  "150",
    "50",    "410",   "160",  "60",       "300",      "120",  "40",
    "13",    "12",    "11",   "10",       "5",        "6",    "2.5",
    " 1 ",   " 0 ",   " 1 ",  "False",    "True",     " 7 ",  "12",
    "-3 ",   " 1 ",   " 1 ",  "Absolute", "Absolute", "Abs.", "2.5",
    "3.5",   "False", "True", "False",    "Feedrate", "250",  "/dev/parport1",
    "0xD010"};

std::string Join(const std::vector<std::string>& lines, const char* end = "\r\n") {
  std::string out;
  for (const auto& l : lines) out += l + end;
  return out;
}

std::vector<std::string> With(std::vector<std::string> lines, int line, const std::string& v) {
  lines[line - 1] = v;
  return lines;
}

class ConfigFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    static std::atomic<int> counter{0};
    std::random_device rd;
    dir_ = fs::temp_directory_path() /
           ("brimo-cfg-" + std::to_string(rd()) + "-" + std::to_string(counter++));
    fs::create_directories(dir_);
    folder_ = dir_.string();
    // Settings derived from the form's defaults, as start-up makes them.
    ASSERT_TRUE(ApplyFormSettings(ms_, form_, "0").ok);
  }
  void TearDown() override {
    std::error_code ec;
    for (auto& p : fs::recursive_directory_iterator(dir_, ec))
      fs::permissions(p.path(), fs::perms::owner_all, fs::perm_options::add, ec);
    fs::permissions(dir_, fs::perms::owner_all, fs::perm_options::add, ec);
    fs::remove_all(dir_, ec);
  }

  void Write(const std::string& name, const std::string& bytes) {
    std::ofstream(dir_ / name, std::ios::binary) << bytes;
  }
  std::string Read(const std::string& name) {
    std::ifstream in(dir_ / name, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }
  bool Exists(const std::string& name) { return fs::exists(dir_ / name); }
  ConfigResult Load(const std::string& feed = "0") {
    return LoadConfiguration(folder_, ms_, form_, feed);
  }
  bool Save() {
    std::string why;
    return SaveConfiguration(folder_, ms_, form_, why);
  }

  // A folder no file can be written in. Root ignores the mode bits, so then
  // a "folder" whose path runs through a regular file is used instead.
  std::string UnwritableFolder() {
    fs::path ro = dir_ / "readonly";
    fs::create_directory(ro);
    fs::permissions(ro, fs::perms::owner_read | fs::perms::owner_exec);
    fs::path probe = ro / "probe";
    if (std::ofstream(probe).good()) {
      fs::remove(probe);
      Write("plainfile", "not a folder");
      return (dir_ / "plainfile").string();
    }
    return ro.string();
  }

  fs::path dir_;
  std::string folder_;
  MachineState ms_;
  SettingsForm form_;
  test::FakeWindow win_;
};

// ---- Layout and formats ----------------------------------------------------

TEST_F(ConfigFileTest, FirstSaveWritesTheDefaultFile) {
  ASSERT_TRUE(Save());
  const std::string file = Read(kConfigName);
  EXPECT_EQ(file, Join(kDefaultLines));
  // The same, spelled out where the formats matter.
  EXPECT_EQ(file.rfind("400\r\n400\r\n400\r\n3\r\n2\r\n5\r\n4\r\n7\r\n6\r\n0\r\n0\r\n15\r\n", 0),
            0u);
  EXPECT_NE(file.find("3.00\r\n 0 \r\n 0 \r\n 0 \r\nTrue\r\nFalse\r\n 0 \r\n5\r\n 0 \r\n"),
            std::string::npos);
  EXPECT_EQ(file.substr(file.size() - 34), "Rapid\r\n100\r\n/dev/parport0\r\n0x378\r\n");
  EXPECT_EQ(file.find('\n') - 1, file.find('\r'));  // CR LF, not LF alone
}

TEST_F(ConfigFileTest, LoadThenSaveReproducesTheDefaultFileByteForByte) {
  Write(kConfigName, Join(kDefaultLines));
  ASSERT_TRUE(Load().ok);
  ASSERT_TRUE(Save());
  EXPECT_EQ(Read(kConfigName), Join(kDefaultLines));
}

TEST_F(ConfigFileTest, LoadThenSaveReproducesAnEditedFile) {
  Write(kConfigName, Join(kCustomLines));
  ASSERT_TRUE(Load().ok);
  ASSERT_TRUE(Save());
  EXPECT_EQ(Read(kConfigName), Join(kCustomLines));
}

bool Same(const std::string& field, const std::string& setting) { return field == setting; }
bool Same(const std::string& field, double setting) { return std::stod(field) == setting; }
bool Same(const std::string& field, unsigned setting) {
  unsigned base = 0;
  return ReadPortBase(field, base) && base == setting;
}
bool Same(int field, int setting) { return field == setting; }
bool Same(bool field, bool setting) { return field == setting; }

// The settings table: with a value on every line that no other line holds,
// a save and load carries each field of the form into the setting of the
// same name.
TEST(SettingsTable, EachFieldReachesTheSettingOfItsName) {
  SettingsForm form;
  for (int line = 1; line <= kConfigLines; ++line) {
    const SettingLine& row = kSettingLines[line - 1];
    if (auto* text = std::get_if<std::string SettingsForm::*>(&row.field))
      form.*(*text) = std::to_string(100 + line);
    if (auto* check = std::get_if<int SettingsForm::*>(&row.field)) form.*(*check) = line % 2;
  }
  form.HomeUsingHomeSwitch = false, form.HomeUsingMachineZero = true;
  MachineState ms;
  ASSERT_TRUE(ApplyFormSettings(ms, form, "0").ok);
#define SAME(name) \
  std::pair<const char*, bool> { #name, Same(form.name, ms.name) }
  const std::pair<const char*, bool> fields[] = {SAME(StepsPerRevX),
                                                 SAME(StepsPerRevY),
                                                 SAME(StepsPerRevZ),
                                                 SAME(StepPinX),
                                                 SAME(DirPinX),
                                                 SAME(StepPinY),
                                                 SAME(DirPinY),
                                                 SAME(StepPinZ),
                                                 SAME(DirPinZ),
                                                 SAME(ToolChangeX),
                                                 SAME(ToolChangeY),
                                                 SAME(ToolChangeZ),
                                                 SAME(FastRateX),
                                                 SAME(MediumRateX),
                                                 SAME(SlowRateX),
                                                 SAME(FastRateY),
                                                 SAME(MediumRateY),
                                                 SAME(SlowRateY),
                                                 SAME(FastRateZ),
                                                 SAME(MediumRateZ),
                                                 SAME(SlowRateZ),
                                                 SAME(HomePinX),
                                                 SAME(HomePinY),
                                                 SAME(HomePinZ),
                                                 SAME(LimitPin),
                                                 SAME(LeadX),
                                                 SAME(LeadY),
                                                 SAME(LeadZ),
                                                 SAME(ReverseX),
                                                 SAME(ReverseY),
                                                 SAME(ReverseZ),
                                                 SAME(UnitsMm),
                                                 SAME(UnitsInch),
                                                 SAME(PulseWidth),
                                                 SAME(HomeSwitchEnabled),
                                                 SAME(LimitSwitchEnabled),
                                                 SAME(ZHomingMoveMode),
                                                 SAME(ZToLineMoveMode),
                                                 SAME(CoordinateMode),
                                                 SAME(ZHomingMoveDistance),
                                                 SAME(ZToLineMoveDistance),
                                                 SAME(HomeUsingHomeSwitch),
                                                 SAME(HomeUsingProgramZero),
                                                 SAME(HomeUsingMachineZero),
                                                 SAME(HomeMoveKind),
                                                 SAME(HomeFeedrate),
                                                 SAME(PortDevice),
                                                 SAME(PortBase)};
#undef SAME
  for (const auto& [name, same] : fields) EXPECT_TRUE(same) << name;
}

TEST_F(ConfigFileTest, UnitValuesComeOutRoundedWithTheNumberBlanks) {
  struct Row {
    std::string inch, mm, inchOut, mmOut;
  };
  for (const Row& r : {Row{"2.5", "-3.5", " 2 ", "-4 "}, Row{"7.6", "-0.2", " 8 ", " 0 "},
                       Row{"3.5", "-3", " 4 ", "-3 "}}) {
    SCOPED_TRACE(r.inch + " " + r.mm);
    Write(kConfigName, Join(With(With(kDefaultLines, 34, r.inch), 36, r.mm)));
    ASSERT_TRUE(Load().ok);
    ASSERT_TRUE(Save());
    EXPECT_EQ(Read(kConfigName), Join(With(With(kDefaultLines, 34, r.inchOut), 36, r.mmOut)));
  }
}

TEST_F(ConfigFileTest, WriterNeverPutsALineBreakInsideAValue) {
  form_.CoordinateMode = "Abs.\r\n";
  form_.ZHomingMoveMode = "Rel\native";
  form_.HomeFeedrate = "1\r50";
  const std::string text = ConfigText(ms_, form_);
  std::vector<std::string> expected = kDefaultLines;
  expected[40] = "Abs.";
  expected[38] = "Relative";
  expected[47] = "150";
  EXPECT_EQ(text, Join(expected));
}

// Lines 49 and 50 came after the 48: a file written before them loads with
// their defaults and is not damaged; lines after them (a newer build's) come
// back on the next save exactly as they were, in their order.
TEST_F(ConfigFileTest, OlderAndNewerFilesLoadAndKeepTheirLines) {
  const std::vector<std::string> older(kCustomLines.begin(), kCustomLines.begin() + 48);
  const std::string olderSaved = Join(With(With(kCustomLines, 49, "/dev/parport0"), 50, "0x378"));
  std::vector<std::string> newer = kCustomLines;
  newer.insert(newer.end(), {" a newer setting ", "", "0x378,1"});
  struct Row {
    const char* name;
    std::string file;
    std::string device;
    unsigned base;
    std::string saved;
  };
  const Row rows[] = {
      {"48 lines", Join(older), "/dev/parport0", 0x378, olderSaved},
      {"48 lines and an empty one", Join(older) + "\r\n", "/dev/parport0", 0x378, olderSaved},
      {"49 lines", Join(std::vector<std::string>(kCustomLines.begin(), kCustomLines.end() - 1)),
       "/dev/parport1", 0x378, Join(With(kCustomLines, 50, "0x378"))},
      {"address without 0x", Join(With(kCustomLines, 50, " e800 ")), "/dev/parport1", 0xE800,
       Join(With(kCustomLines, 50, "0xE800"))},
      {"newer build's lines", Join(newer, "\n"), "/dev/parport1", 0xD010, Join(newer)},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    Write(kConfigName, row.file);
    const ConfigResult r = Load();
    EXPECT_TRUE(r.ok) << ConfigProblem(r);
    EXPECT_EQ(ms_.PortDevice, row.device);
    EXPECT_EQ(ms_.PortBase, row.base);
    EXPECT_EQ(ms_.StepPinX, "9");  // the 48 keep their meaning
    ASSERT_TRUE(Save());
    EXPECT_EQ(Read(kConfigName), row.saved);
    EXPECT_TRUE(Load().ok);  // and read back the same
    EXPECT_EQ(ConfigText(ms_, form_), row.saved);
  }
}

// ---- Loading -----------------------------------------------------------------

TEST_F(ConfigFileTest, LoadFillsSettingsAndControlsAndDerives) {
  Write(kConfigName, Join(kCustomLines));
  ConfigResult r = Load("125");
  ASSERT_TRUE(r.ok);
  EXPECT_FALSE(ms_.ConfigLoading);
  // Settings.
  EXPECT_EQ(ms_.StepsPerRevX, 200);
  EXPECT_EQ(ms_.StepPinX, "9");
  EXPECT_EQ(ms_.DirPinZ, "4");
  EXPECT_EQ(ms_.ToolChangeZ, "20");
  EXPECT_EQ(ms_.FastRateX, 400);
  EXPECT_EQ(ms_.SlowRateZ, 40);
  EXPECT_EQ(ms_.LimitPin, "10");
  EXPECT_EQ(ms_.LeadZ, 2.5);
  EXPECT_EQ(ms_.ReverseX, 1);
  EXPECT_EQ(ms_.ReverseY, 0);
  EXPECT_FALSE(ms_.UnitsMm);
  EXPECT_TRUE(ms_.UnitsInch);
  EXPECT_EQ(ms_.InchUnitValue, 7);
  EXPECT_EQ(ms_.MmUnitValue, -3);
  EXPECT_EQ(ms_.PulseWidth, "12");
  EXPECT_EQ(ms_.HomeSwitchEnabled, 1);
  EXPECT_EQ(ms_.CoordinateMode, "Abs.");
  EXPECT_EQ(ms_.ZToLineMoveDistance, "3.5");
  EXPECT_TRUE(ms_.HomeUsingProgramZero);
  EXPECT_FALSE(ms_.HomeUsingHomeSwitch);
  EXPECT_EQ(ms_.HomeMoveKind, "Feedrate");
  EXPECT_EQ(ms_.HomeFeedrate, "250");
  // Controls.
  EXPECT_EQ(form_.StepsPerRevZ, "200");
  EXPECT_EQ(form_.StepPinX, "9");
  EXPECT_EQ(form_.SlowRateZ, "40");
  EXPECT_EQ(form_.LeadZ, "2.5");
  EXPECT_EQ(form_.ReverseX, 1);
  EXPECT_TRUE(form_.UnitsInch);
  EXPECT_FALSE(form_.UnitsMm);
  EXPECT_EQ(form_.PulseWidth, "12");
  EXPECT_EQ(form_.LimitSwitchEnabled, 1);
  EXPECT_EQ(form_.ZToLineMoveDistance, "3.5");
  EXPECT_FALSE(form_.HomeUsingHomeSwitch);
  EXPECT_TRUE(form_.HomeUsingProgramZero);
  EXPECT_EQ(form_.HomeMoveKind, "Feedrate");
  EXPECT_EQ(form_.HomeFeedrate, "250");
  // Derived.
  EXPECT_DOUBLE_EQ(ms_.UnitsPerStepX, 5.0 / 200);
  EXPECT_DOUBLE_EQ(ms_.UnitsPerStepZ, 2.5 / 200);
  EXPECT_EQ(ms_.FinestAxis, 1);
  EXPECT_EQ(ms_.FeedNow, 125);
  EXPECT_EQ(ms_.UnitValue, 7);
  EXPECT_EQ(ms_.StepMaskX, 128);
  EXPECT_EQ(ms_.DirMaskX, 64);
  EXPECT_EQ(ms_.DirSenseX, 1);
  EXPECT_EQ(ms_.DirSenseY, -1);
}

TEST_F(ConfigFileTest, BlanksAroundValuesAndLfLineEndsAreAccepted) {
  std::vector<std::string> padded;
  for (const auto& l : kDefaultLines) padded.push_back("  " + l + "\t ");
  Write(kConfigName, Join(padded, "\n"));
  ASSERT_TRUE(Load().ok);
  EXPECT_EQ(form_.LeadX, "3.00");
  EXPECT_EQ(form_.ZHomingMoveMode, "Relative");
  ASSERT_TRUE(Save());
  EXPECT_EQ(Read(kConfigName), Join(kDefaultLines));
}

TEST_F(ConfigFileTest, LastLineWithoutLineEndCounts) {
  std::string bytes = Join(kDefaultLines);
  bytes.resize(bytes.size() - 2);
  Write(kConfigName, bytes);
  EXPECT_TRUE(Load().ok);
}

TEST_F(ConfigFileTest, ACommaStaysInsideItsValue) {
  std::vector<std::string> lines = With(With(kDefaultLines, 39, "Limit switch, slow"), 26, "3,5");
  Write(kConfigName, Join(lines));
  ConfigResult r = Load();
  // The lead "3,5" is one value that is not a number; nothing after it moved.
  EXPECT_FALSE(r.ok);
  EXPECT_EQ(r.badLine, 26);
  EXPECT_EQ(form_.LeadX, "3.00");  // its default
  EXPECT_EQ(form_.LeadY, "3.00");
  EXPECT_EQ(form_.ZHomingMoveMode, "Limit switch, slow");
  EXPECT_EQ(form_.ZToLineMoveMode, "Relative");
  EXPECT_EQ(form_.HomeFeedrate, "100");
  ASSERT_TRUE(Save());
  EXPECT_EQ(Read(kConfigName), Join(With(lines, 26, "3.00")));
}

TEST_F(ConfigFileTest, LoadSelectingInchChangesTheLabelsOnly) {
  Write(kConfigName, Join(With(With(kDefaultLines, 32, "False"), 33, "True")));
  ASSERT_TRUE(Load().ok);
  EXPECT_TRUE(form_.UnitsInch);
  EXPECT_FALSE(form_.UnitsMm);
  EXPECT_EQ(form_.LeadUnitLabel, "In/");
  EXPECT_EQ(form_.ZHomingUnitLabel, "(In)");
  EXPECT_EQ(form_.ZToLineUnitLabel, "(In)");
  EXPECT_EQ(form_.LeadX, "3.00");
  EXPECT_EQ(form_.FastRateX, "500");
  EXPECT_EQ(form_.ToolChangeZ, "15");
  EXPECT_EQ(form_.ZHomingMoveDistance, "10");
  EXPECT_DOUBLE_EQ(ms_.UnitsPerStepX, 3.0 / 400);
  // And back to mm, again without converting.
  Write(kConfigName, Join(kDefaultLines));
  ASSERT_TRUE(Load().ok);
  EXPECT_EQ(form_.LeadUnitLabel, "mm/");
  EXPECT_EQ(form_.ZToLineUnitLabel, "(mm)");
  EXPECT_EQ(form_.LeadX, "3.00");
}

TEST_F(ConfigFileTest, HomePanelOptionsFormOneGroup) {
  Write(kConfigName, Join(With(kDefaultLines, 45, "True")));
  ASSERT_TRUE(Load().ok);
  EXPECT_FALSE(form_.HomeUsingHomeSwitch);
  EXPECT_TRUE(form_.HomeUsingProgramZero);
  EXPECT_FALSE(form_.HomeUsingMachineZero);
}

TEST_F(ConfigFileTest, OkWithAChangedLeadChangesTheTravelPerStep) {
  form_.LeadX = "4";
  ASSERT_TRUE(Save());
  ASSERT_TRUE(Load().ok);
  EXPECT_DOUBLE_EQ(ms_.UnitsPerStepX, 4.0 / 400);
  EXPECT_DOUBLE_EQ(ms_.UnitsPerStepY, 3.0 / 400);
  EXPECT_EQ(ms_.FinestAxis, 2);
}

// ---- Failed loads: what is left behind -----------------------------------------

TEST_F(ConfigFileTest, MissingFileChangesNothing) {
  SettingsForm before = form_;
  ConfigResult r = Load();
  EXPECT_FALSE(r.ok);
  EXPECT_TRUE(r.missing);
  EXPECT_FALSE(ms_.ConfigLoading);
  EXPECT_EQ(ConfigText(ms_, form_), ConfigText(ms_, before));
  EXPECT_DOUBLE_EQ(ms_.UnitsPerStepX, 0.0075);
}

TEST_F(ConfigFileTest, ShortFileAppliesItsLinesAndDefaultsForTheRest) {
  std::vector<std::string> lines(kCustomLines.begin(), kCustomLines.begin() + 30);
  Write(kConfigName, Join(lines));
  ConfigResult r = Load("77");
  EXPECT_FALSE(r.ok);
  EXPECT_FALSE(r.missing);
  EXPECT_EQ(r.badLine, 31);
  EXPECT_FALSE(ms_.ConfigLoading);
  EXPECT_NE(ConfigProblem(r).find("Lines 31 to 48 are missing."), std::string::npos)
      << ConfigProblem(r);
  // Fields 1 to 30 apply, in the settings, the form and the derived values ...
  EXPECT_EQ(ms_.StepsPerRevX, 200);
  EXPECT_EQ(form_.StepsPerRevX, "200");
  EXPECT_EQ(ms_.StepPinX, "9");
  EXPECT_EQ(form_.ReverseX, 1);
  EXPECT_DOUBLE_EQ(ms_.UnitsPerStepX, 5.0 / 200);
  EXPECT_EQ(ms_.StepMaskX, 128);
  EXPECT_EQ(ms_.DirSenseX, 1);
  EXPECT_EQ(ms_.FeedNow, 77);
  // ... field 31 on takes its default.
  EXPECT_EQ(ms_.ReverseZ, 0);
  EXPECT_TRUE(ms_.UnitsMm);
  EXPECT_EQ(ms_.HomeFeedrate, "100");
  std::vector<std::string> expected = lines;
  expected.insert(expected.end(), kDefaultLines.begin() + 30, kDefaultLines.end());
  EXPECT_EQ(ConfigText(ms_, form_), Join(expected));
}

TEST_F(ConfigFileTest, EmptyFileIsShortAtLineOne) {
  Write(kConfigName, "");
  ConfigResult r = Load();
  EXPECT_FALSE(r.ok);
  EXPECT_FALSE(r.missing);
  EXPECT_EQ(r.badLine, 1);
}

// Each value the machine cannot use takes its default in the settings, the
// form and the rewritten file; every other line applies, also the ones after
// it (leads, pins, reverse flags of the custom file).
TEST_F(ConfigFileTest, EachUnusableValueIsReplacedByItsDefaultAndTheRestApplies) {
  struct Row {
    int line;
    std::string value;
    std::string used;  // the line as the rewritten file holds it
    const char* why;
  };
  const Row rows[] = {
      {1, "abc", "400", "Steps per turn X must be a positive number; it reads \"abc\"."},
      {2, "0", "400", "Steps per turn Y must be a positive number; it reads \"0\"."},
      {3, "-200", "400", "Steps per turn Z must be a positive number"},
      {26, "abc", "0.1181102", "Lead X must be a positive number; it reads \"abc\"."},
      {27, "", "0.1181102", "Lead Y must be a positive number"},
      {28, "-2.5", "0.1181102", "Lead Z must be a positive number"},
      {13, "fast", "19.68504", "Fast rate X must be a positive number"},
      {19, "0", "19.68504", "Fast rate Z must be a positive number"},
      {15, "-50", "3.937008", "Slow rate X must be a positive number"},
      {29, "yes", " 0 ", "\"yes\" is not 0 or 1."},
      {31, "2", " 0 ", "\"2\" is not 0 or 1."},
      {37, "0.5", " 0 ", "\"0.5\" is not 0 or 1."},
      // An option group keeps one selected: inch reads "True" here.
      {32, "maybe", "False", "\"maybe\" is not True or False."},
      {46, "maybe", "False", "\"maybe\" is not True or False."},
      {34, "abc", " 0 ", "\"abc\" is not a number."},
      {49, "", "/dev/parport0", "Port device must name the parallel port's device"},
      {50, "0x10000", "0x378", "Port address must be the port's I/O address in hexadecimal"},
      {50, "0xFFFE", "0x378", "Port address must be"},
      {50, "0", "0x378", "Port address must be"},
      {50, "LPT1", "0x378", "Port address must be"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE("line " + std::to_string(row.line) + " = \"" + row.value + "\"");
    MachineState ms;
    SettingsForm form;
    ASSERT_TRUE(ApplyFormSettings(ms, form, "0").ok);
    Write(kConfigName, Join(With(kCustomLines, row.line, row.value)));
    ConfigResult r = LoadConfiguration(folder_, ms, form, "0");
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.badLine, row.line);
    std::string used = row.used;
    used.erase(0, used.find_first_not_of(' '));
    used.erase(used.find_last_not_of(' ') + 1);
    const std::string named = "Line " + std::to_string(row.line) + ": ";
    EXPECT_NE(ConfigProblem(r).find(named + row.why), std::string::npos) << ConfigProblem(r);
    EXPECT_NE(ConfigProblem(r).find("Used instead: " + used + "."), std::string::npos)
        << ConfigProblem(r);
    EXPECT_EQ(ConfigProblem(r).find('\n'), std::string::npos);  // one line replaced
    EXPECT_FALSE(ms.ConfigLoading);
    // The form, hence the rewritten file, holds the file with that default.
    EXPECT_EQ(ConfigText(ms, form), Join(With(kCustomLines, row.line, row.used)));
    // Everything else applied, also after the bad line.
    EXPECT_EQ(ms.HomeFeedrate, "250");
    EXPECT_EQ(form.HomeFeedrate, "250");
    // The custom file is in inches: so are the defaults it gets.
    const double leadY = row.line == 27 ? 0.1181102 : 6, stepsY = row.line == 2 ? 400 : 200;
    const double leadZ = row.line == 28 ? 0.1181102 : 2.5, stepsZ = row.line == 3 ? 400 : 200;
    EXPECT_DOUBLE_EQ(ms.UnitsPerStepY, leadY / stepsY);
    EXPECT_DOUBLE_EQ(ms.UnitsPerStepZ, leadZ / stepsZ);
    EXPECT_EQ(ms.DirSenseX, row.line == 29 ? -1 : 1);
    EXPECT_EQ(ms.DirSenseZ, row.line == 31 ? -1 : 1);
    EXPECT_EQ(ms.StepMaskZ, 8);
    EXPECT_EQ(ms.FastRateX, row.line == 13 ? 19.68504 : 400);
    EXPECT_TRUE(ms.UnitsInch);
    EXPECT_FALSE(ms.UnitsMm);
    EXPECT_EQ(ms.UnitValue, row.line == 34 ? 0 : 7);
  }
}

// The load refuses exactly what Settings "Ok" refuses: the same form saved
// and loaded back names the same field.
TEST_F(ConfigFileTest, LoadRefusesWhatOkRefuses) {
  struct Row {
    void (*edit)(SettingsForm&);
    std::string named;
  };
  const Row rows[] = {
      {[](SettingsForm& f) { f.StepsPerRevY = "-400"; }, "Steps per turn Y"},
      {[](SettingsForm& f) { f.LeadX = "0"; }, "Lead X"},
      {[](SettingsForm& f) { f.FastRateX = "0"; }, "Fast rate X"},
      {[](SettingsForm& f) { f.FastRateZ = "fast"; }, "Fast rate Z"},
      {[](SettingsForm& f) { f.DirPinY = "3"; }, "X step and Y dir both use pin 3"},
      {[](SettingsForm& f) { f.DirPinX = " 9", f.StepPinZ = "9"; },
       "X dir and Z step both use pin 9"},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.named);
    SettingsForm edited;
    r.edit(edited);
    std::string okMessage;
    EXPECT_FALSE(ValidateForOk(edited, okMessage));
    EXPECT_NE(okMessage.find(r.named), std::string::npos) << okMessage;
    Write(kConfigName, ConfigText(ms_, edited));
    ConfigResult loaded = Load();
    EXPECT_FALSE(loaded.ok);
    EXPECT_NE(ConfigProblem(loaded).find(r.named), std::string::npos) << ConfigProblem(loaded);
    // What is in force now passes "Ok".
    std::string m;
    EXPECT_TRUE(ValidateForOk(form_, m)) << m;
  }
}

// A shared pin gives the later line its default; when that default is taken
// in turn, the line holding it gives way too, until every line has its own.
TEST_F(ConfigFileTest, SharedPinsEndOnPinsOfTheirOwn) {
  // Y step on X step's pin 9, Z step already on Y step's default 5.
  Write(kConfigName, Join(With(kCustomLines, 6, "9")));
  ConfigResult r = Load();
  EXPECT_FALSE(r.ok);
  const std::string problem = ConfigProblem(r);
  EXPECT_NE(problem.find("Line 6: X step and Y step both use pin 9"), std::string::npos) << problem;
  EXPECT_NE(problem.find("Line 8: Y step and Z step both use pin 5"), std::string::npos) << problem;
  EXPECT_EQ(form_.StepPinY, "5");
  EXPECT_EQ(form_.StepPinZ, "7");
  EXPECT_EQ(ms_.StepMaskX, 128);
  EXPECT_EQ(ms_.StepMaskY, 8);
  EXPECT_EQ(ms_.StepMaskZ, 32);
  std::string m;
  EXPECT_TRUE(ValidateForOk(form_, m)) << m;
}

TEST_F(ConfigFileTest, UnreadableUnitValueIsReplacedWithoutTouchingTheUnitInForce) {
  Write(kConfigName, Join(With(kCustomLines, 36, "abc")));  // inch selected
  ConfigResult r = Load();
  EXPECT_FALSE(r.ok);
  EXPECT_NE(ConfigProblem(r).find("Line 36"), std::string::npos);
  EXPECT_EQ(ms_.UnitValue, 7);
  EXPECT_EQ(ms_.MmUnitValue, 0);
}

// ---- Saving ------------------------------------------------------------------

TEST_F(ConfigFileTest, SaveReplacesTheFileThroughATemporaryOne) {
  Write(kConfigName, "old");
  ASSERT_TRUE(Save());
  EXPECT_EQ(Read(kConfigName), Join(kDefaultLines));
  EXPECT_FALSE(Exists(kConfigTempName));
  int files = 0;
  for (auto& e : fs::directory_iterator(dir_)) files += e.is_regular_file();
  EXPECT_EQ(files, 1);
}

TEST_F(ConfigFileTest, FailedSaveLeavesTheOldFileWhole) {
  Write(kConfigName, Join(kCustomLines));
  fs::create_directory(dir_ / kConfigTempName);  // the temporary file cannot be made
  fs::create_directory(dir_ / kConfigTempName / "x");
  std::string why;
  EXPECT_FALSE(SaveConfiguration(folder_, ms_, form_, why));
  EXPECT_FALSE(why.empty());
  EXPECT_EQ(Read(kConfigName), Join(kCustomLines));
}

TEST_F(ConfigFileTest, SaveIntoAnUnwritableFolderTellsOnceAndCarriesOn) {
  const std::string ro = UnwritableFolder();
  std::string why;
  EXPECT_FALSE(SaveConfiguration(ro, ms_, form_, why));
  EXPECT_NE(why.find("could not write brimo.cfg"), std::string::npos) << why;

  EXPECT_FALSE(SaveConfiguration(ro, ms_, form_, win_));
  ASSERT_EQ(win_.messages.size(), 1u);
  EXPECT_EQ(win_.messages[0].title, msg::kConfigTitle);
  EXPECT_EQ(win_.MessagesStartingWith(msg::kConfigNotSaved), 1);
}

TEST_F(ConfigFileTest, SaveThroughASymbolicLinkReplacesItsTargetAndKeepsTheLink) {
#ifdef _WIN32
  GTEST_SKIP() << "symbolic links need a privilege on Windows (MinGW cannot create them)";
#endif
  fs::create_directory(dir_ / "shared");
  Write("shared/machine.cfg", Join(kCustomLines));
  fs::create_symlink(fs::path("shared") / "machine.cfg", dir_ / kConfigName);
  ASSERT_TRUE(Save());
  EXPECT_TRUE(fs::is_symlink(dir_ / kConfigName));
  EXPECT_EQ(Read("shared/machine.cfg"), Join(kDefaultLines));
  EXPECT_FALSE(Exists(kConfigTempName));
  EXPECT_FALSE(Exists("shared/machine.cfg.tmp"));
}

// The replacement file carries the old file's permission bits, whatever the
// process's umask would give a new file.
TEST_F(ConfigFileTest, SaveKeepsTheFilesPermissions) {
#ifdef _WIN32
  GTEST_SKIP() << "Windows files have no POSIX permission bits";
#endif
  using P = fs::perms;
  for (P perms : {P::owner_read | P::owner_write, P::owner_read | P::owner_write | P::group_read,
                  P::owner_all | P::group_read | P::group_write | P::others_read}) {
    Write(kConfigName, Join(kCustomLines));
    fs::permissions(dir_ / kConfigName, perms);
    ASSERT_TRUE(Save());
    EXPECT_EQ(Read(kConfigName), Join(kDefaultLines));
    EXPECT_EQ(fs::status(dir_ / kConfigName).permissions() & P::mask, perms)
        << static_cast<int>(perms);
  }
}

TEST_F(ConfigFileTest, ReadOnlyFileIsLeftAsItIsAndTheOperatorToldOnce) {
  Write(kConfigName, Join(kCustomLines));
  fs::permissions(dir_ / kConfigName,
                  fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
  // Start-up, then the save at the end of the program: one message.
  StartupConfiguration(folder_, ms_, form_, "0", win_);
  form_.LeadX = "4.00";
  EXPECT_FALSE(SaveConfiguration(folder_, ms_, form_, win_));
  EXPECT_EQ(Read(kConfigName), Join(kCustomLines));
  ASSERT_EQ(win_.messages.size(), 1u);
  EXPECT_NE(win_.messages[0].text.find("read-only"), std::string::npos) << win_.messages[0].text;

  // Damaged and read-only: one message says both, and the end saves quietly.
  fs::permissions(dir_ / kConfigName, fs::perms::owner_write, fs::perm_options::add);
  const std::string damaged = Join(With(kCustomLines, 26, "abc"));
  Write(kConfigName, damaged);
  fs::permissions(dir_ / kConfigName, fs::perms::owner_write, fs::perm_options::remove);
  MachineState ms;
  SettingsForm form;
  test::FakeWindow win;
  StartupConfiguration(folder_, ms, form, "0", win);
  EXPECT_FALSE(SaveConfiguration(folder_, ms, form, win));
  ASSERT_EQ(win.messages.size(), 1u);
  EXPECT_NE(win.messages[0].text.find("kept as brimo.cfg.bad."), std::string::npos);
  EXPECT_NE(win.messages[0].text.find("read-only"), std::string::npos) << win.messages[0].text;
  EXPECT_EQ(Read(kConfigName), damaged);
  EXPECT_EQ(Read(kConfigBadName), damaged);
}

// ---- Failing file operations -------------------------------------------------------

// Each step of a save fails in turn, as a full disk or a failing medium
// makes it fail: the old file stays byte for byte, no temporary file is
// left, and the operator hears of it once, with the system's reason.
enum class FailAt { kWrite, kFlush, kSync, kRename };

// The step to fail: the table holds plain function pointers, so the choice
// lives here.
FailAt failing = FailAt::kWrite;

ConfigFileOps FailingOps() {
  ConfigFileOps ops = SystemFileOps();
  ops.write = [](const void* data, std::size_t bytes, std::FILE* f) -> std::size_t {
    if (failing != FailAt::kWrite) return SystemFileOps().write(data, bytes, f);
    const std::size_t half = SystemFileOps().write(data, bytes / 2, f);  // the disk fills
    errno = ENOSPC;
    return half;
  };
  ops.flush = [](std::FILE* f) {
    if (failing != FailAt::kFlush) return SystemFileOps().flush(f);
    errno = ENOSPC;
    return EOF;
  };
  ops.sync = [](std::FILE* f) {
    if (failing != FailAt::kSync) return SystemFileOps().sync(f);
    errno = EIO;
    return -1;
  };
  ops.rename = [](const fs::path& from, const fs::path& to, std::error_code& ec) {
    if (failing != FailAt::kRename) return SystemFileOps().rename(from, to, ec);
    ec = std::make_error_code(std::errc::permission_denied);
  };
  return ops;
}

TEST_F(ConfigFileTest, EachFailingFileStepLeavesTheOldFileAndNoTemporaryFile) {
  const struct {
    const char* name;
    FailAt step;
    std::errc reason;
  } kCases[] = {
      {"write", FailAt::kWrite, std::errc::no_space_on_device},
      {"flush", FailAt::kFlush, std::errc::no_space_on_device},
      {"sync", FailAt::kSync, std::errc::io_error},
      {"rename", FailAt::kRename, std::errc::permission_denied},
  };
  const ConfigFileOps ops = FailingOps();
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    failing = c.step;
    Write(kConfigName, Join(kCustomLines));
    MachineState ms = ms_;
    test::FakeWindow win;
    EXPECT_FALSE(SaveConfiguration(folder_, ms, form_, win, ops));
    EXPECT_EQ(Read(kConfigName), Join(kCustomLines));
    std::vector<std::string> names;
    for (auto& e : fs::directory_iterator(dir_)) names.push_back(e.path().filename().string());
    EXPECT_EQ(names, std::vector<std::string>{kConfigName});
    ASSERT_EQ(win.messages.size(), 1u);
    EXPECT_EQ(win.MessagesStartingWith(msg::kConfigNotSaved), 1);
    const std::string reason = std::make_error_code(c.reason).message();
    EXPECT_NE(win.messages[0].text.find(reason), std::string::npos) << win.messages[0].text;
  }
}

// ---- Start-up --------------------------------------------------------------------

TEST_F(ConfigFileTest, FirstStartWithoutAFileWritesTheDefaultsSilently) {
  ConfigResult r = StartupConfiguration(folder_, ms_, form_, "0", win_);
  EXPECT_TRUE(r.missing);
  EXPECT_TRUE(win_.messages.empty());
  EXPECT_EQ(Read(kConfigName), Join(kDefaultLines));
  EXPECT_FALSE(Exists(kConfigBadName));
  // The machine works on the defaults: no zero step size or rate.
  EXPECT_DOUBLE_EQ(ms_.UnitsPerStepX, 3.0 / 400);
  EXPECT_DOUBLE_EQ(ms_.UnitsPerStepZ, 3.0 / 400);
  EXPECT_EQ(ms_.SlowRateY, 100);
  EXPECT_EQ(ms_.StepMaskX, 2);
}

TEST_F(ConfigFileTest, StartWithAGoodFileRewritesItSilently) {
  Write(kConfigName, Join(kCustomLines, "\n"));
  ConfigResult r = StartupConfiguration(folder_, ms_, form_, "0", win_);
  EXPECT_TRUE(r.ok);
  EXPECT_TRUE(win_.messages.empty());
  EXPECT_EQ(Read(kConfigName), Join(kCustomLines));
  EXPECT_FALSE(Exists(kConfigBadName));
}

TEST_F(ConfigFileTest, DamagedFileIsKeptRewrittenWithDefaultsAndTheMachineStartsOffline) {
  const std::string damaged =
      Join(With(With(With(kCustomLines, 26, "abc"), 29, "yes"), 50, "0x37G"));
  Write(kConfigName, damaged);
  ConfigResult r = StartupConfiguration(folder_, ms_, form_, "0", win_);
  EXPECT_FALSE(r.ok);
  EXPECT_EQ(Read(kConfigBadName), damaged);
  ASSERT_EQ(win_.messages.size(), 1u);
  const std::string& text = win_.messages[0].text;
  EXPECT_EQ(win_.messages[0].title, msg::kConfigTitle);
  EXPECT_EQ(win_.MessagesStartingWith(msg::kConfigDamaged), 1);
  // The file is in inches: the default lead 3 mm, in inches.
  EXPECT_NE(text.find("Line 26: Lead X must be a positive number; it reads \"abc\". Used "
                      "instead: 0.1181102."),
            std::string::npos)
      << text;
  EXPECT_NE(text.find("Line 29: \"yes\" is not 0 or 1. Used instead: 0."), std::string::npos)
      << text;
  EXPECT_NE(text.find("Line 50: Port address must be the port's I/O address in hexadecimal, "
                      "from 0x1 to 0xFFFD, such as 0x378; it reads \"0x37G\". Used instead: "
                      "0x378."),
            std::string::npos)
      << text;
  EXPECT_EQ(ms_.PortBase, 0x378u);
  EXPECT_EQ(ms_.PortDevice, "/dev/parport1");
  EXPECT_NE(text.find("kept as brimo.cfg.bad;"), std::string::npos) << text;
  // The lines after the bad ones apply: lead Y 6 over 200 steps.
  EXPECT_DOUBLE_EQ(ms_.UnitsPerStepY, 6.0 / 200);
  EXPECT_DOUBLE_EQ(ms_.UnitsPerStepX, 0.1181102 / 200);
  EXPECT_EQ(ms_.DirSenseZ, 1);
  // The rewritten file holds what the machine and the dialog hold.
  EXPECT_EQ(Read(kConfigName),
            Join(With(With(With(kCustomLines, 26, "0.1181102"), 29, " 0 "), 50, "0x378")));
  // Offline, with the box ticked, until Settings "Ok".
  EXPECT_TRUE(ms_.Offline);
  EXPECT_TRUE(win_.offlineShown);

  // The next start finds a sound file: no message, the copy untouched.
  MachineState ms;
  SettingsForm form;
  test::FakeWindow win;
  EXPECT_TRUE(StartupConfiguration(folder_, ms, form, "0", win).ok);
  EXPECT_TRUE(win.messages.empty());
  EXPECT_FALSE(ms.Offline);
  EXPECT_EQ(Read(kConfigBadName), damaged);
}

TEST_F(ConfigFileTest, CopiesOfDamagedFilesAreNeverOverwrittenNorEmpty) {
  const char* names[] = {"brimo.cfg.bad", "brimo.cfg.bad.2", "brimo.cfg.bad.3", "brimo.cfg.bad.4",
                         "brimo.cfg.bad.5"};
  for (int start = 0; start < 6; ++start) {
    SCOPED_TRACE("start " + std::to_string(start + 1));
    const std::string damaged = Join(With(kCustomLines, 26, "bad" + std::to_string(start)));
    Write(kConfigName, damaged);
    test::FakeWindow win;
    StartupConfiguration(folder_, ms_, form_, "0", win);
    ASSERT_EQ(win.messages.size(), 1u);
    if (start < 5) {
      EXPECT_EQ(Read(names[start]), damaged);
      EXPECT_NE(win.messages[0].text.find(std::string("kept as ") + names[start] + ";"),
                std::string::npos)
          << win.messages[0].text;
    } else {
      // Every name taken: the damaged file stays as it is.
      EXPECT_NE(win.messages[0].text.find(msg::kConfigNotKept), std::string::npos);
      EXPECT_EQ(Read(kConfigName), damaged);
    }
  }
  for (int k = 0; k < 5; ++k)
    EXPECT_EQ(Read(names[k]), Join(With(kCustomLines, 26, "bad" + std::to_string(k))));
  EXPECT_FALSE(Exists("brimo.cfg.bad.6"));

  // An empty file leaves no empty copy behind.
  for (const char* n : names) fs::remove(dir_ / n);
  Write(kConfigName, "");
  test::FakeWindow win;
  StartupConfiguration(folder_, ms_, form_, "0", win);
  ASSERT_EQ(win.messages.size(), 1u);
  EXPECT_NE(win.messages[0].text.find("was empty"), std::string::npos) << win.messages[0].text;
  EXPECT_FALSE(Exists(kConfigBadName));
  EXPECT_EQ(Read(kConfigName), Join(kDefaultLines));
}

TEST_F(ConfigFileTest, ShortFileIsKeptAndRewrittenWithDefaultsForTheMissingLines) {
  std::vector<std::string> lines(kCustomLines.begin(), kCustomLines.begin() + 30);
  Write(kConfigName, Join(lines));
  StartupConfiguration(folder_, ms_, form_, "0", win_);
  EXPECT_EQ(Read(kConfigBadName), Join(lines));
  ASSERT_EQ(win_.messages.size(), 1u);
  EXPECT_NE(win_.messages[0].text.find("Lines 31 to 48 are missing."), std::string::npos);
  std::vector<std::string> expected = lines;
  expected.insert(expected.end(), kDefaultLines.begin() + 30, kDefaultLines.end());
  EXPECT_EQ(Read(kConfigName), Join(expected));
}

TEST_F(ConfigFileTest, DamagedFileThatCannotBeKeptIsLeftAlone) {
  const std::string damaged = Join(With(kCustomLines, 1, "0"));
  Write(kConfigName, damaged);
  // No file can take any of the names.
  for (const char* n : {"brimo.cfg.bad", "brimo.cfg.bad.2", "brimo.cfg.bad.3", "brimo.cfg.bad.4",
                        "brimo.cfg.bad.5"})
    fs::create_directories(dir_ / n / "x");
  StartupConfiguration(folder_, ms_, form_, "0", win_);
  ASSERT_EQ(win_.messages.size(), 1u);
  EXPECT_NE(win_.messages[0].text.find(msg::kConfigNotKept), std::string::npos);
  EXPECT_NE(win_.messages[0].text.find("Line 1: Steps per turn X"), std::string::npos);
  EXPECT_EQ(Read(kConfigName), damaged);
  EXPECT_TRUE(ms_.Offline);
}

TEST_F(ConfigFileTest, StartInAnUnwritableFolderTellsOnceAndCarriesOn) {
  const std::string ro = UnwritableFolder();
  ConfigResult r = StartupConfiguration(ro, ms_, form_, "0", win_);
  EXPECT_TRUE(r.missing);
  ASSERT_EQ(win_.messages.size(), 1u);
  EXPECT_EQ(win_.MessagesStartingWith(msg::kConfigNotSaved), 1);
  EXPECT_DOUBLE_EQ(ms_.UnitsPerStepX, 0.0075);  // the defaults stay in force
}

// ---- DeriveSettings ------------------------------------------------------------------

class DeriveTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ms.StepsPerRevX = ms.StepsPerRevY = ms.StepsPerRevZ = 400;
    ms.LeadX = ms.LeadY = ms.LeadZ = 3;
    ms.StepPinX = "3", ms.DirPinX = "2", ms.StepPinY = "5", ms.DirPinY = "4";
    ms.StepPinZ = "7", ms.DirPinZ = "6";
  }
  MachineState ms;
  SettingsForm form;
};

TEST_F(DeriveTest, TravelPerStepAndFinestXYStep) {
  struct Row {
    double leadX, leadY, leadZ;
    double finest;
    int axis;
  };
  const Row rows[] = {
      {3, 3, 3, 0.0075, 1},     // a tie is X
      {3, 1, 3, 1.0 / 400, 2},  // Y smaller
      {1, 3, 3, 1.0 / 400, 1},  // X smaller
      {3, 3, 0.1, 0.0075, 1},   // Z never takes part
  };
  for (const Row& r : rows) {
    ms.LeadX = r.leadX, ms.LeadY = r.leadY, ms.LeadZ = r.leadZ;
    DeriveSettings(ms, form, "0");
    EXPECT_DOUBLE_EQ(ms.UnitsPerStepZ, r.leadZ / 400);
    EXPECT_DOUBLE_EQ(ms.FinestStepXY, r.finest);
    EXPECT_EQ(ms.FinestAxis, r.axis);
  }
}

TEST_F(DeriveTest, MasksFromPins) {
  struct Row {
    std::string pin;
    int mask;
  };
  const Row rows[] = {{"2", 1},  {"3", 2}, {"9", 128}, {" 5 ", 8}, {"1", 0},
                      {"10", 0}, {"0", 0}, {"abc", 0}, {"", 0},    {"2.5", 0}};
  for (const Row& r : rows) {
    SCOPED_TRACE("pin \"" + r.pin + "\"");
    ms.StepPinX = ms.DirPinY = ms.StepPinZ = r.pin;
    DeriveSettings(ms, form, "0");
    EXPECT_EQ(ms.StepMaskX, r.mask);
    EXPECT_EQ(ms.DirMaskY, r.mask);
    EXPECT_EQ(ms.StepMaskZ, r.mask);
    EXPECT_EQ(ms.DirMaskX, 1);  // the others as configured
    EXPECT_EQ(ms.StepMaskY, 8);
    EXPECT_EQ(ms.DirMaskZ, 16);
  }
}

TEST_F(DeriveTest, DirectionSenseFollowsReverse) {
  DeriveSettings(ms, form, "0");  // never loaded: reverse 0
  EXPECT_EQ(ms.DirSenseX, -1);
  ms.ReverseX = 1;
  ms.ReverseZ = 1;
  DeriveSettings(ms, form, "0");
  EXPECT_EQ(ms.DirSenseX, 1);
  EXPECT_EQ(ms.DirSenseY, -1);
  EXPECT_EQ(ms.DirSenseZ, 1);
}

TEST_F(DeriveTest, FeedNowIsTheFeedDisplaysLeadingNumber) {
  struct Row {
    std::string text;
    double feed;
  };
  for (const Row& r : {Row{"0", 0}, Row{"150", 150}, Row{"37.5", 37.5}, Row{" 12.5e1x", 125},
                       Row{"abc", 0}, Row{"", 0}, Row{"-20", -20}}) {
    DeriveSettings(ms, form, r.text);
    EXPECT_EQ(ms.FeedNow, r.feed) << r.text;
  }
}

TEST_F(DeriveTest, UnitValueFollowsTheOptionButtons) {
  ms.InchUnitValue = 7;
  ms.MmUnitValue = 3;
  form.UnitsMm = true, form.UnitsInch = false;
  DeriveSettings(ms, form, "0");
  EXPECT_EQ(ms.UnitValue, 3);
  form.UnitsMm = false, form.UnitsInch = true;
  DeriveSettings(ms, form, "0");
  EXPECT_EQ(ms.UnitValue, 7);
  form.UnitsMm = false, form.UnitsInch = false;
  ms.UnitValue = 99;
  DeriveSettings(ms, form, "0");
  EXPECT_EQ(ms.UnitValue, 99);
}

TEST_F(DeriveTest, ZeroStepsPerTurnStopsBeforeThatAxis) {
  DeriveSettings(ms, form, "0");
  ms.LeadX = 6;
  ms.LeadY = 6;
  ms.StepsPerRevY = 0;
  ms.ReverseX = 1;
  EXPECT_EQ(DeriveSettingsFrom(ms, form, "0", DeriveInputs{}), 2);
  EXPECT_DOUBLE_EQ(ms.UnitsPerStepX, 6.0 / 400);  // derived before the stop
  EXPECT_DOUBLE_EQ(ms.UnitsPerStepY, 0.0075);     // kept
  EXPECT_EQ(ms.DirSenseX, -1);                    // not reached
  EXPECT_TRUE(StepSizesUsable(ms));
}

}  // namespace
}  // namespace brimo
