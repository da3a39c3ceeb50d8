// The settings dialog's "Ok" and the scale factors, without a window.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "dialogs/scale_factors.h"
#include "dialogs/settings_apply.h"
#include "interpreter/parser.h"
#include "machine/config_file.h"
#include "machine/messages.h"
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
  r.form.Combo7[0] = "4.00";
  ASSERT_TRUE(Ok());
  EXPECT_DOUBLE_EQ(r.ms.UnitsPerStepX, 0.01);
  EXPECT_EQ(Line(26), "4.00");
}

TEST_F(SettingsOkTest, TextsLeftWithCancelAreWrittenByTheNextSave) {
  r.form.Combo3[0] = "450";  // typed, then "Cancel": the model keeps it
  std::string why;
  ASSERT_TRUE(SaveConfiguration(folder_.string(), r.ms, r.form, why));
  EXPECT_EQ(Line(13), "450");
  EXPECT_EQ(r.ms.FastRateX, 500);  // not applied until "Ok" or the next start
}

TEST_F(SettingsOkTest, UnusableFieldsAndSharedPinsAreNotSaved) {
  const std::string before = Line(1);
  struct Row {
    std::string* field;
    const char* text;
    const char* named;
  } rows[] = {{&r.form.Combo2[0], "0", "Steps"},
              {&r.form.Combo2[1], "abc", "Steps"},
              {&r.form.Combo7[2], "-1", "Lead"},
              {&r.form.Combo3[4], "", "Medium"},
              {&r.form.Combo1[2], "3", "pin 3"}};
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

TEST_F(SettingsOkTest, AUnitChangeConvertsThePositionsWithTheFields) {
  r.ms.PrgX = 50.8, r.ms.MachX = 25.4, r.ms.PrgZ = -2.54;
  ASSERT_TRUE(r.form.OptionIn_Click(false));
  ASSERT_TRUE(Ok());
  EXPECT_TRUE(r.ms.UnitsInch);
  EXPECT_NEAR(r.ms.PrgX, 2, 1e-12);  // the same physical place, in inches
  EXPECT_NEAR(r.ms.MachX, 1, 1e-12);
  EXPECT_NEAR(r.ms.PrgZ, -0.1, 1e-12);
  EXPECT_NEAR(r.ms.UnitsPerStepX, 0.118 / 400, 1e-12);
  // Another "Ok" without a unit change converts nothing more.
  ASSERT_TRUE(Ok());
  EXPECT_NEAR(r.ms.PrgX, 2, 1e-12);
}

TEST_F(SettingsOkTest, NoUnitChangeInTheMiddleOfAProgram) {
  r.LoadProgram("G01 X1 F100\nX2\n");
  r.ms.CurrentLine = 1;  // halted after line 1
  r.ms.PrgX = 10;
  ASSERT_TRUE(r.form.OptionIn_Click(false));
  std::string message;
  EXPECT_FALSE(Ok(&message));
  EXPECT_EQ(message, msg::kUnitsMidProgram);
  EXPECT_TRUE(r.ms.UnitsMm);
  EXPECT_EQ(r.ms.PrgX, 10);
  r.ms.CurrentLine = 3;  // finished: allowed
  EXPECT_TRUE(Ok());
}

TEST(ScaleFactors, DefaultConversionsCancelAndValidation) {
  ScaleFactors s;
  s.Command4_Click();
  EXPECT_EQ(s.Combo1[0], "25.4");
  EXPECT_EQ(s.Factor(3), 25.4);
  s.Command5_Click();
  EXPECT_EQ(s.Combo1[1], "0.0393700787401575");
  EXPECT_NEAR(s.Factor(1) * 25.4, 1, 1e-15);
  s.Command1_Click();
  EXPECT_EQ(s.Combo1[2], "1");
  s.Form_Activate();
  s.Combo1[1] = "2";
  s.Command3_Click();  // "Cancel": the copy taken on activation
  EXPECT_EQ(s.Combo1[1], "1");

  s.Combo1[2] = "0.5";
  EXPECT_EQ(s.Factor(2), 0.5);
  s.Combo1[2] = "half";  // not a number: the last valid value stays in force
  EXPECT_EQ(s.Factor(2), 0.5);
  std::string message;
  EXPECT_FALSE(s.Validate(message));
  EXPECT_NE(message.find("Scale Factor Y-Axis"), std::string::npos);
  s.Combo1[2] = "2";
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
  s.Command4_Click();
  r.plot.PlotOnly = true;
  r.ms.LineText = "G02 X1 Y2 Z-0.5 I0.5 J0.25 F10";
  ParseLine(c);
  EXPECT_NEAR(r.ms.TargetX, 25.4, 1e-12);
  EXPECT_NEAR(r.ms.TargetY, 50.8, 1e-12);
  EXPECT_NEAR(r.ms.TargetZ, -12.7, 1e-12);
  EXPECT_NEAR(r.ms.ArcI, 12.7, 1e-12);
  EXPECT_NEAR(r.ms.ArcJ, 6.35, 1e-12);
  EXPECT_NEAR(r.ms.ProgramFeed, 254, 1e-9);
  r.ms.LineText = "G81 X1 Y1 Z-0.25 R0.1 Q3";
  ParseLine(c);
  EXPECT_EQ(r.ms.QWord, "3");  // Q counts pecks: never scaled
  EXPECT_EQ(r.ms.PecksLeft, 3);

  // A factor edited without "Ok" already applies to the next parsed line.
  s.Combo1[1] = "2";
  r.ms.LineText = "G01 X3";
  ParseLine(c);
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

}  // namespace
}  // namespace brimo::test
