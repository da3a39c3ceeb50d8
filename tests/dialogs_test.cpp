// The settings dialog's "Ok" and the scale factors, without a window.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <vector>

#include "core/forms/scale_factors.h"
#include "core/forms/settings_apply.h"
#include "core/interpreter/dispatch.h"
#include "core/interpreter/parser.h"
#include "core/interpreter/run_control.h"
#include "core/machine/config_file.h"
#include "core/machine/messages.h"
#include "core/machine/port.h"
#include "core/machine/settings_form.h"
#include "support/test_rig.h"

namespace brimo::test {
namespace {

namespace fs = std::filesystem;

class SettingsOkTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ =
        fs::temp_directory_path() /
        ("brimo-dialogs-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
         "-" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(folder_);
    fs::create_directories(folder_);
    StartupConfiguration(folder_.string(), r.ms, r.form, "0", r.win);
  }
  void TearDown() override { fs::remove_all(folder_); }
  std::string Line(int n) {
    std::ifstream in(folder_ / kConfigName, std::ios::binary);
    std::string line;
    for (int i = 0; i < n; ++i) std::getline(in, line);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return line;
  }
  bool Ok(std::string* message = nullptr) {
    std::string m;
    const bool ok = ApplySettingsOk(r.core, r.form, folder_.string(), m);
    if (message) *message = m;
    return ok;
  }

  TestRig r;
  fs::path folder_;
};

TEST_F(SettingsOkTest, ANewLeadChangesTheTravelPerStep) {
  r.form.LeadX = "4.00";
  ASSERT_TRUE(Ok());
  EXPECT_DOUBLE_EQ(r.ms.UnitsPerStepX, 0.01);
  EXPECT_EQ(Line(26), "4.00");
}

TEST_F(SettingsOkTest, TextsPutBackByCancelAreNotWrittenByTheNextSave) {
  const SettingsForm shown = r.form;
  r.form.FastRateX = "450";  // typed ...
  r.form.ReverseX = 1;
  ASSERT_TRUE(r.form.SelectInches(false));
  r.form.HomeFeedrate = "80";         // the home panel, edited meanwhile in the main window
  r.form.RestoreDialogFields(shown);  // ... then "Cancel"
  std::string why;
  ASSERT_TRUE(SaveConfiguration(folder_.string(), r.ms, r.form, why));
  EXPECT_EQ(Line(13), "500");
  EXPECT_EQ(Line(26), "3.00");
  EXPECT_EQ(Line(29), " 0 ");
  EXPECT_EQ(Line(32), "True");
  EXPECT_EQ(r.form.LeadUnitLabel, "mm/");
  EXPECT_EQ(Line(48), "80");
}

// After a damaged brimo.cfg the machine stays offline until the operator has
// confirmed the settings with "Ok".
TEST_F(SettingsOkTest, DamagedConfigurationKeepsTheMachineOfflineUntilOk) {
  {
    std::ifstream in(folder_ / kConfigName, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    std::string damaged = text.str();
    damaged.replace(damaged.find("3.00"), 4, "abc");  // lead X
    std::ofstream(folder_ / kConfigName, std::ios::binary) << damaged;
  }
  TestRig fresh;
  StartupConfiguration(folder_.string(), fresh.ms, fresh.form, "0", fresh.win);
  EXPECT_TRUE(fresh.ms.Offline);
  EXPECT_TRUE(fresh.win.offlineShown);
  const size_t told = fresh.win.messages.size();
  SetOffline(fresh.core, false);  // the box unticked: refused
  EXPECT_TRUE(fresh.ms.Offline);
  EXPECT_TRUE(fresh.win.offlineShown);
  EXPECT_EQ(fresh.win.beeps, 1);
  ASSERT_EQ(fresh.win.messages.size(), told + 1);
  EXPECT_NE(fresh.win.messages.back().text.find("Settings"), std::string::npos);

  std::string m;
  ASSERT_TRUE(ApplySettingsOk(fresh.core, fresh.form, folder_.string(), m)) << m;
  SetOffline(fresh.core, false);
  EXPECT_FALSE(fresh.ms.Offline);
}

TEST_F(SettingsOkTest, UnusableFieldsAndSharedPinsAreNotSaved) {
  const std::string before = Line(1);
  struct Row {
    std::string* field;
    const char* text;
    const char* named;
  } rows[] = {{&r.form.StepsPerRevX, "0", "Steps"},
              {&r.form.StepsPerRevY, "abc", "Steps"},
              {&r.form.LeadZ, "-1", "Lead"},
              {&r.form.MediumRateY, "", "Medium"},
              {&r.form.StepPinY, "3", "pin 3"}};
  for (const auto& row : rows) {
    const std::string kept = *row.field;
    *row.field = row.text;
    std::string message;
    EXPECT_FALSE(Ok(&message)) << row.text;
    EXPECT_NE(message.find(row.named), std::string::npos) << message;
    EXPECT_EQ(Line(1), before);
    *row.field = kept;
  }
  EXPECT_TRUE(Ok());
}

// Every length that says where the machine is, in the order ConvertPositions
// lists them.
std::vector<double*> Positions(MachineState& ms) {
  return {&ms.PrgX,         &ms.PrgY,         &ms.PrgZ,         &ms.MachX,     &ms.MachY,
          &ms.MachZ,        &ms.TargetX,      &ms.TargetY,      &ms.TargetZ,   &ms.LineStartX,
          &ms.LineStartY,   &ms.LineStartZ,   &ms.Stop.PrgX,    &ms.Stop.PrgY, &ms.Stop.PrgZ,
          &ms.Stop.TargetX, &ms.Stop.TargetY, &ms.Stop.TargetZ, &ms.Halt.PrgX, &ms.Halt.PrgY,
          &ms.Halt.PrgZ};
}

TEST_F(SettingsOkTest, AUnitChangeConvertsThePositionsWithTheFields) {
  // A machine 50 mm from its zero is 1.9685 in from it, not 50 in.
  std::vector<double*> at = Positions(r.ms);
  for (size_t i = 0; i < at.size(); ++i) *at[i] = 50 - 5.0 * static_cast<double>(i);
  ASSERT_TRUE(r.form.SelectInches(false));
  ASSERT_TRUE(Ok());
  EXPECT_TRUE(r.ms.UnitsInch);
  EXPECT_FALSE(r.ms.UnitsMm);
  EXPECT_NEAR(r.ms.PrgX, 1.9685, 5e-5);
  for (size_t i = 0; i < at.size(); ++i)
    EXPECT_NEAR(*at[i], (50 - 5.0 * static_cast<double>(i)) / 25.4, 1e-12) << "position " << i;
  EXPECT_NEAR(r.ms.UnitsPerStepX, 0.1181102 / 400, 1e-12);  // the lead field was converted too
  // Another "Ok" without a unit change converts nothing more.
  ASSERT_TRUE(Ok());
  EXPECT_NEAR(r.ms.PrgX, 50 / 25.4, 1e-12);
  // And back: the same place in millimetres again.
  ASSERT_TRUE(r.form.SelectMillimetres(false));
  ASSERT_TRUE(Ok());
  EXPECT_TRUE(r.ms.UnitsMm);
  for (size_t i = 0; i < at.size(); ++i)
    EXPECT_NEAR(*at[i], 50 - 5.0 * static_cast<double>(i), 1e-12) << "position " << i;
  EXPECT_EQ(r.win.prg[0], "50.0000");
}

TEST_F(SettingsOkTest, ARefusedConversionLeavesFieldsUnitAndMachineAgreeing) {
  r.ms.PrgX = 50;
  r.form.MediumRateY = "fast";  // Y "Medium" is not a number
  std::string bad;
  EXPECT_FALSE(r.form.SelectInches(false, &bad));
  EXPECT_NE(bad.find("Medium"), std::string::npos) << bad;
  EXPECT_TRUE(r.form.UnitsMm);  // the option is back at the fields' unit
  EXPECT_FALSE(r.form.UnitsInch);
  EXPECT_EQ(r.form.LeadX, "3.00");  // nothing converted
  // "Ok" refuses the field, and the machine stays in millimetres.
  std::string message;
  EXPECT_FALSE(Ok(&message));
  EXPECT_NE(message.find("Medium"), std::string::npos) << message;
  EXPECT_TRUE(r.ms.UnitsMm);
  EXPECT_EQ(r.ms.PrgX, 50);
  r.form.MediumRateY = "200";
  EXPECT_TRUE(Ok());
  EXPECT_TRUE(r.ms.UnitsMm);
  EXPECT_EQ(r.ms.PrgX, 50);
}

TEST_F(SettingsOkTest, RefusedWhileTheMachineMoves) {
  r.form.LeadX = "4.00";
  r.ms.Running = true;
  std::string message;
  EXPECT_FALSE(Ok(&message));
  EXPECT_EQ(message, msg::kSettingsWhileRunning);
  EXPECT_EQ(Line(26), "3.00");
  EXPECT_DOUBLE_EQ(r.ms.UnitsPerStepX, 0.0075);
}

TEST_F(SettingsOkTest, NoUnitChangeInTheMiddleOfAProgram) {
  r.LoadProgram("G01 X1 F100\nX2\n");
  r.ms.CurrentLine = 1;  // stopped after line 1
  r.ms.Run = RunState::kPaused;
  r.ms.PrgX = 10;
  ASSERT_TRUE(r.form.SelectInches(false));
  std::string message;
  EXPECT_FALSE(Ok(&message));
  EXPECT_EQ(message, msg::kUnitsMidProgram);
  EXPECT_TRUE(r.ms.UnitsMm);
  EXPECT_EQ(r.ms.PrgX, 10);
  for (int how = 0; how < 2; ++how) {  // stopped in a move, or halted after a line
    r.ms.CurrentLine = 0;
    r.ms.Run = how == 0 ? RunState::kStopped : RunState::kHalted;
    EXPECT_FALSE(Ok(&message)) << how;
    EXPECT_TRUE(r.ms.UnitsMm);
  }
  r.ms.CurrentLine = 3;  // finished: allowed
  r.ms.Run = RunState::kFinished;
  EXPECT_TRUE(Ok());
  EXPECT_TRUE(r.ms.UnitsInch);
  EXPECT_NEAR(r.ms.PrgX, 10 / 25.4, 1e-12);
}

TEST_F(SettingsOkTest, OtherSettingsMayChangeInTheMiddleOfAProgram) {
  r.LoadProgram("G01 X1 F100\nX2\n");
  r.ms.CurrentLine = 1;
  r.form.LeadY = "6.00";
  ASSERT_TRUE(Ok());
  EXPECT_DOUBLE_EQ(r.ms.UnitsPerStepY, 0.015);
}

// The port opens where the settings say at the moment it opens; an "Ok"
// that names another device or address lets the open port go, so the next
// online pulse opens the new one. An "Ok" that keeps the port keeps it open.
TEST_F(SettingsOkTest, AnotherPortNamedByOkIsOpenedAtTheNextPulse) {
  struct Counted final : Port {
    int* closed;
    explicit Counted(int* c) : closed(c) {}
    ~Counted() override { ++*closed; }
    void WriteData(uint8_t) override {}
    uint8_t ReadStatus() override { return 127; }
  };
  std::vector<std::string> opened;
  int closed = 0;
  PortLink link([&](std::string&) -> std::unique_ptr<Port> {
    opened.push_back(r.ms.PortDevice + " " + FormatPortBase(r.ms.PortBase));
    return std::make_unique<Counted>(&closed);
  });
  Core core{r.ms, r.win, r.clock, link, r.store, r.plot};
  std::string why, m;
  ASSERT_NE(link.Acquire(why), nullptr);
  r.form.LeadX = "4.00";
  ASSERT_TRUE(ApplySettingsOk(core, r.form, folder_.string(), m)) << m;
  EXPECT_EQ(closed, 0);
  EXPECT_NE(link.Ready(), nullptr);
  r.form.PortDevice = "/dev/parport1";
  r.form.PortBase = "d010";
  ASSERT_TRUE(ApplySettingsOk(core, r.form, folder_.string(), m)) << m;
  EXPECT_EQ(closed, 1);
  EXPECT_EQ(link.Ready(), nullptr);
  EXPECT_EQ(r.form.PortBase, "0xD010");
  EXPECT_EQ(Line(49), "/dev/parport1");
  EXPECT_EQ(Line(50), "0xD010");
  ASSERT_NE(link.Acquire(why), nullptr);
  EXPECT_EQ(opened, (std::vector<std::string>{"/dev/parport0 0x378", "/dev/parport1 0xD010"}));
}

TEST(ScaleFactors, DefaultConversionsCancelAndValidation) {
  ScaleFactors s;
  s.InchesToMm();
  EXPECT_EQ(s.factorTexts[0], "25.4");
  EXPECT_EQ(s.Factor(3), 25.4);
  s.MmToInches();
  EXPECT_EQ(s.factorTexts[1], "0.0393700787401575");
  EXPECT_NEAR(s.Factor(1) * 25.4, 1, 1e-15);
  s.SetAllToOne();
  EXPECT_EQ(s.factorTexts[2], "1");
  s.TakeCopy();
  s.factorTexts[1] = "2";
  s.RestoreCopy();  // "Cancel": the copy taken on activation
  EXPECT_EQ(s.factorTexts[1], "1");

  s.factorTexts[2] = "0.5";
  EXPECT_EQ(s.Factor(2), 0.5);
  s.factorTexts[2] = "half";  // not a number: the last valid value stays in force
  EXPECT_EQ(s.Factor(2), 0.5);
  std::string message;
  EXPECT_FALSE(s.Validate(message));
  EXPECT_NE(message.find("Scale Factor Y-Axis"), std::string::npos);
  s.factorTexts[2] = "2";
  EXPECT_TRUE(s.Validate(message));
}

// A window whose scale factors are the dialog's model.
struct ScaledWindow : FakeWindow {
  ScaleFactors* model = nullptr;
  double ScaleFactor(int i) override { return model->Factor(i); }
};

TEST(ScaleFactors, InchToMmScalesXYZIJFDepthAndRetractButNotQ) {
  TestRig r;
  ScaledWindow win;
  ScaleFactors s;
  win.model = &s;
  Core c{r.ms, win, r.clock, r.link, r.store, r.plot};
  s.InchesToMm();
  r.ms.LineText = "G02 X1 Y2 Z-0.5 I0.5 J0.25 F10";
  ReadLine(c);
  EXPECT_NEAR(r.ms.TargetX, 25.4, 1e-12);
  EXPECT_NEAR(r.ms.TargetY, 50.8, 1e-12);
  EXPECT_NEAR(r.ms.TargetZ, -12.7, 1e-12);
  EXPECT_NEAR(r.ms.ArcI, 12.7, 1e-12);
  EXPECT_NEAR(r.ms.ArcJ, 6.35, 1e-12);
  EXPECT_NEAR(r.ms.ProgramFeed, 254, 1e-9);
  r.ms.LineText = "G81 X1 Y1 Z-0.25 R0.1 Q3";
  ReadLine(c);
  EXPECT_EQ(r.ms.QWord, "3");  // Q counts pecks: never scaled
  EXPECT_EQ(r.ms.PecksLeft, 3);

  // A factor edited without "Ok" already applies to the next parsed line.
  s.factorTexts[1] = "2";
  r.ms.LineText = "G01 X3";
  ReadLine(c);
  EXPECT_EQ(r.ms.TargetX, 6);
}

TEST(ScaleFactors, OkZeroesTheProgramPositionAndRedraws) {
  TestRig r;
  r.LoadProgram("G01 X10 Y5 F100\n");
  r.ms.PrgX = 3, r.ms.MachX = 7;
  r.ms.PreviewLine = 1;
  EXPECT_TRUE(ScaleOk(r.core));
  EXPECT_EQ(r.ms.PrgX, 0);
  EXPECT_EQ(r.ms.MachX, 7);
  EXPECT_EQ(r.ms.PreviewLine, 0);
  EXPECT_EQ(r.plot.PlotXMax, 10);
  EXPECT_FALSE(r.win.lines.empty());
  EXPECT_EQ(r.win.prg[0], "0.0000");
  r.ms.Running = true;
  EXPECT_FALSE(ScaleOk(r.core));
}

// The rig's core with a window whose ScaleFactor reads the dialog's model.
struct ScaledRig {
  TestRig r;
  ScaledWindow win;
  ScaleFactors s;
  Core c{r.ms, win, r.clock, r.link, r.store, r.plot};
  ScaledRig() { win.model = &s; }
};

TEST(ScaleFactors, DefaultThenOkRedrawsUnscaled) {
  ScaledRig x;
  x.r.LoadProgram("G01 X10 Y5 F100\n");
  x.s.InchesToMm();
  ASSERT_TRUE(ScaleOk(x.c));
  EXPECT_DOUBLE_EQ(x.r.plot.PlotXMax, 254);
  x.r.ms.PrgX = 1, x.r.ms.PrgY = 2, x.r.ms.PrgZ = 3;
  x.s.SetAllToOne();  // "Default"
  ASSERT_TRUE(ScaleOk(x.c));
  EXPECT_DOUBLE_EQ(x.r.plot.PlotXMax, 10);
  EXPECT_DOUBLE_EQ(x.r.plot.PlotYMax, 5);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(x.win.prg[i], "0.0000") << i;
}

TEST(ScaleFactors, OkWithNoProgramZeroesTheProgramPosition) {
  ScaledRig x;
  x.r.ms.PrgX = 4, x.r.ms.PrgY = -1;
  ASSERT_TRUE(ScaleOk(x.c));
  EXPECT_EQ(x.r.ms.PrgX, 0);
  EXPECT_EQ(x.r.ms.PrgY, 0);
  EXPECT_TRUE(x.win.lines.empty());
}

TEST(ScaleFactors, CancelRestoresOnlyTheEditsSinceTheLastActivation) {
  ScaleFactors s;
  s.factorTexts[1] = "2";
  s.TakeCopy();  // the dialog becomes active again: "2" is the copy now
  s.factorTexts[1] = "3";
  s.factorTexts[3] = "0.5";
  s.RestoreCopy();
  EXPECT_EQ(s.factorTexts[1], "2");
  EXPECT_EQ(s.factorTexts[3], "1");
  EXPECT_EQ(s.Factor(1), 2);
}

TEST(ScaleFactors, ANonNumberFactorIsRefusedAndTheLastValidValueStays) {
  ScaledRig x;
  x.s.factorTexts[0] = "2";
  x.s.factorTexts[3] = "0.5";
  x.r.ms.LineText = "G01 Z4 F100";
  ReadLine(x.c);
  EXPECT_EQ(x.r.ms.TargetZ, 2);
  EXPECT_EQ(x.r.ms.ProgramFeed, 200);
  const struct {
    int index;
    const char* text;
    const char* named;
  } rows[] = {{0, "fast", "Scale Factor Feedrate"},
              {3, "", "Scale Factor Z-Axis"},
              {3, "1/2", "Scale Factor Z-Axis"},
              {3, "0,5", "Scale Factor Z-Axis"}};
  for (const auto& row : rows) {
    const std::string kept = x.s.factorTexts[row.index];
    x.s.factorTexts[row.index] = row.text;
    std::string message;
    EXPECT_FALSE(x.s.Validate(message)) << row.text;
    EXPECT_NE(message.find(row.named), std::string::npos) << message;
    // Meanwhile the parser keeps the last number the field held.
    x.r.ms.LineText = "G01 Z6 F50";
    ReadLine(x.c);
    EXPECT_EQ(x.r.ms.TargetZ, 3) << row.text;
    EXPECT_EQ(x.r.ms.ProgramFeed, 100) << row.text;
    x.s.factorTexts[row.index] = kept;
  }
  std::string message;
  EXPECT_TRUE(x.s.Validate(message));
}

}  // namespace
}  // namespace brimo::test
