// Jogging, home moves, the feed override and the coordinate set-up.
#include "console/operator_panels.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "interpreter/dispatch.h"
#include "machine/messages.h"
#include "machine/settings_form.h"
#include "support/test_rig.h"

namespace brimo::test {
namespace {

// Releases the jog button inside the event pump after `pulses` pulses.
void ReleaseAfter(TestRig& r, int index, long pulses, JogSpeed speed) {
  r.win.onPump = [&r, index, pulses, speed](long n) {
    if (n == pulses) JogZ_MouseUp(r.core, index, kLeftButton, speed);
  };
}

long Pulses(const TestRig& r) { return static_cast<long>(r.port.Writes().size() / 2); }

TEST(Jog, ButtonsMapToAxesAndDirections) {
  struct Row {
    int index, axis, dir;
  } rows[] = {{6, 3, 1}, {1, 3, -1}, {4, 1, 1}, {2, 1, -1}, {3, 2, 1}, {5, 2, -1}, {0, 0, 0}};
  for (const auto& row : rows) {
    EXPECT_EQ(JogButtonFor(row.index).axis, row.axis) << row.index;
    EXPECT_EQ(JogButtonFor(row.index).direction, row.dir) << row.index;
  }
}

TEST(Jog, EachSpeedPacesAtItsRateAndMovesUntilRelease) {
  struct Row {
    JogSpeed speed;
    double rate;       // length/min
    int64_t interval;  // ticks at 10 MHz
  } rows[] = {
      {JogSpeed::Fast, 500, 9000}, {JogSpeed::Med, 200, 22500}, {JogSpeed::Slow, 100, 45000}};
  for (const auto& row : rows) {
    TestRig r;
    r.ms.MotionWord = "G02";
    ReleaseAfter(r, 4, 25, row.speed);  // X +
    JogZ_MouseDown(r.core, 4, kLeftButton, row.speed);
    EXPECT_EQ(Pulses(r), 25);
    EXPECT_NEAR(r.ms.PrgX, 25 * 0.0075, 1e-12);
    EXPECT_NEAR(r.ms.MachX, 25 * 0.0075, 1e-12);
    EXPECT_EQ(r.ms.FeedNow, row.rate);
    EXPECT_EQ(r.win.feedText, row.rate == 500 ? "500" : row.rate == 200 ? "200" : "100");
    EXPECT_EQ(r.port.Writes()[4].tick - r.port.Writes()[2].tick, row.interval);
    EXPECT_EQ(r.ms.MotionWord, "G02");  // put back
    EXPECT_FALSE(r.ms.Running);
  }
}

TEST(Jog, FastRateExampleAndOfflineJog) {
  TestRig r;
  r.ms.Offline = true;
  ReleaseAfter(r, 1, 10, JogSpeed::Fast);  // Z -
  JogZ_MouseDown(r.core, 1, kLeftButton, JogSpeed::Fast);
  EXPECT_NEAR(r.ms.StepRate, 1111.1, 0.05);  // 500 / 0.0075 / 60
  EXPECT_TRUE(r.port.Writes().empty());
  EXPECT_EQ(r.clock.Now(), 0);
  EXPECT_NEAR(r.ms.PrgZ, -10 * 0.0075, 1e-12);
}

TEST(Jog, AShortClickStillMakesOnePulse) {
  TestRig r;
  ReleaseAfter(r, 3, 1, JogSpeed::Slow);
  JogZ_MouseDown(r.core, 3, kLeftButton, JogSpeed::Slow);
  EXPECT_EQ(Pulses(r), 1);
  EXPECT_NEAR(r.ms.PrgY, 0.0075, 1e-12);
}

TEST(Jog, StepMovesOneStepAndReleaseLeavesTheStopFlag) {
  TestRig r;
  r.ms.FeedNow = 0;  // no feed set since start-up
  JogZ_MouseDown(r.core, 2, kLeftButton, JogSpeed::Step);
  EXPECT_EQ(Pulses(r), 1);
  EXPECT_NEAR(r.ms.PrgX, -0.0075, 1e-12);
  EXPECT_NEAR(r.ms.StepRate, 100 / 0.0075 / 60, 1e-9);  // paced at "Slow"
  EXPECT_TRUE(r.win.messages.empty());
  JogZ_MouseUp(r.core, 2, kLeftButton, JogSpeed::Step);
  EXPECT_FALSE(r.ms.StopRequested);
}

TEST(Jog, OnlyTheLeftButtonJogsAndNothingJogsDuringARun) {
  TestRig r;
  JogZ_MouseDown(r.core, 4, kRightButton, JogSpeed::Fast);
  EXPECT_EQ(Pulses(r), 0);
  r.ms.Running = true;
  JogZ_MouseDown(r.core, 4, kLeftButton, JogSpeed::Step);
  EXPECT_EQ(Pulses(r), 0);
  EXPECT_EQ(r.win.beeps, 1);
}

TEST(Jog, LimitSwitchEndsTheJogAndMotionWordComesBack) {
  TestRig r;
  r.ms.MotionWord = "G01";
  r.port.ScriptStatus({191});
  // The release is swallowed by the "Limit Zone" box: never delivered.
  JogZ_MouseDown(r.core, 4, kLeftButton, JogSpeed::Fast);
  EXPECT_EQ(Pulses(r), 1);
  EXPECT_EQ(r.win.MessagesStartingWith(msg::kLimitZone), 1);
  EXPECT_EQ(r.ms.MotionWord, "G01");
}

TEST(Home, ToMachineZeroAndProgramZeroAsRapidOrFeed) {
  struct Row {
    int choice;
    const char* kind;
    double endPrgX, endMachX;
    double feed;
  } rows[] = {{2, "Rapid", 6, 0, 500},
              {2, "Feedrate", 6, 0, 120},
              {1, "Rapid", 0, -6, 500},
              {1, "Feedrate", 0, -6, 120}};
  for (const auto& row : rows) {
    TestRig r;
    r.UniformAxes(0.01, 500);
    r.ms.Offline = true;
    r.ms.PrgX = 10, r.ms.MachX = 4;
    r.ms.PrgY = 2, r.ms.MachY = 2;
    SettingsForm home;
    home.Option4[0] = false;
    home.Option4[row.choice] = true;
    home.HomeCombo1 = row.kind;
    home.Text6 = "120";
    r.ms.MotionWord = "G01";
    r.ms.TargetX = 33;
    Command9_Click(r.core, home);
    EXPECT_NEAR(r.ms.PrgX, row.endPrgX, 1e-9) << row.kind;
    EXPECT_NEAR(r.ms.MachX, row.endMachX, 1e-9) << row.kind;
    EXPECT_EQ(r.ms.FeedNow, row.feed) << row.kind;
    EXPECT_EQ(r.ms.MotionWord, "G01");  // a halted run reads its line as written
    EXPECT_EQ(r.ms.TargetX, 33);
  }
}

TEST(Home, HomeSwitchChoiceMovesNothing) {
  TestRig r;
  r.ms.PrgX = 3;
  SettingsForm home;  // "Using Home Switchs" selected
  Command9_Click(r.core, home);
  EXPECT_EQ(r.ms.PrgX, 3);
  EXPECT_TRUE(r.port.Writes().empty());
}

TEST(Home, ZRisesFirstWhenItsEndPointIsAboveAndNeverGoesDown) {
  TestRig r;
  r.UniformAxes(0.01, 500);
  r.ms.Offline = true;
  r.ms.PrgX = 1, r.ms.PrgZ = 0;
  r.ms.TargetZ = 2;  // last Z end point, above the tool
  SettingsForm home;
  home.Option4[0] = false, home.Option4[1] = true;
  std::vector<std::pair<double, double>> path;
  r.win.onPump = [&](long) { path.push_back({r.ms.PrgX, r.ms.PrgZ}); };
  Command9_Click(r.core, home);
  ASSERT_GT(path.size(), 200u);
  EXPECT_NEAR(path[199].second, 2, 1e-9);  // 200 Z steps, X not moved yet
  EXPECT_NEAR(path[199].first, 1, 1e-9);
  EXPECT_NEAR(r.ms.PrgX, 0, 1e-9);
  EXPECT_EQ(r.ms.TargetZ, 2);

  TestRig below;
  below.UniformAxes(0.01, 500);
  below.ms.Offline = true;
  below.ms.PrgX = 1, below.ms.PrgZ = 5;
  below.ms.TargetZ = -3;  // below the tool: Z stays
  Command9_Click(below.core, home);
  EXPECT_NEAR(below.ms.PrgZ, 5, 1e-9);
  EXPECT_NEAR(below.ms.PrgX, 0, 1e-9);
}

TEST(Home, FeedrateFieldMustBeAPositiveNumber) {
  for (const char* text : {"", "abc", "0", "-5"}) {
    TestRig r;
    r.ms.Offline = true;
    r.ms.PrgX = 4;
    SettingsForm home;
    home.Option4[0] = false, home.Option4[1] = true;
    home.HomeCombo1 = "rapid";  // lower case: a feed move
    home.Text6 = text;
    Command9_Click(r.core, home);
    EXPECT_EQ(r.ms.PrgX, 4) << text;
    EXPECT_EQ(r.win.MessagesStartingWith("The home move was not started"), 1) << text;
  }
  EXPECT_TRUE(HomeFeedFieldEnabled("rapid"));
  EXPECT_FALSE(HomeFeedFieldEnabled("Rapid"));
}

TEST(Override, ButtonsStepByTwoWithinBoundsAndTextIsChecked) {
  EXPECT_EQ(OverrideAfterButton(100, 0), 102);
  EXPECT_EQ(OverrideAfterButton(100, 1), 98);
  EXPECT_EQ(OverrideAfterButton(2, 1), 2);
  EXPECT_EQ(OverrideAfterButton(3, 1), 2);
  EXPECT_EQ(OverrideAfterButton(500, 0), 500);
  double p = 0;
  EXPECT_TRUE(ParseOverride("150", p));
  EXPECT_EQ(p, 150);
  for (const char* bad : {"", "abc", "0", "1.9", "501", "-10", "1e9"})
    EXPECT_FALSE(ParseOverride(bad, p)) << bad;
  EXPECT_EQ(QuickFeedText(150, 98), "147");
  EXPECT_EQ(QuickFeedText(150, 25), "37.5");
  EXPECT_EQ(QuickFeedText(0, 100), "0");
}

TEST(Override, ChangeDuringAMoveTakesEffectAtTheNextPulse) {
  TestRig r;
  r.UniformAxes(0.01, 500);
  r.ms.MotionWord = "G01";
  r.ms.ProgramFeed = 60;  // 100 steps/s
  r.ms.TargetX = 0.05;
  r.win.onPump = [&](long n) {
    if (n == 2) {
      r.win.overridePercent = 300;
      SetFeed(r.core);
    }
  };
  StartLinearMove(r.core);
  std::vector<int64_t> iv;
  for (size_t i = 2; i < r.port.Writes().size(); i += 2)
    iv.push_back(r.port.Writes()[i].tick - r.port.Writes()[i - 2].tick);
  ASSERT_EQ(iv.size(), 4u);
  EXPECT_EQ(iv[0], 100000);
  EXPECT_EQ(iv[1], 33334);  // ceil(10 MHz / 300 steps/s)
}

TEST(Coordinates, OkReadsNumbersOfChangedFieldsOnly) {
  TestRig r;
  r.ms.PrgX = 1, r.ms.PrgY = 2, r.ms.PrgZ = 3;
  CoordinateDialog d;
  d.Open(r.core, false);
  EXPECT_EQ(d.caption, "Set Program Coordinates");
  EXPECT_EQ(d.fields[1], "2.0000");
  d.Edit(0, "12.5");
  d.Edit(2, " -1e1 ");
  d.Ok(r.core);
  EXPECT_EQ(r.ms.PrgX, 12.5);
  EXPECT_EQ(r.ms.PrgY, 2);
  EXPECT_EQ(r.ms.PrgZ, -10);
  EXPECT_EQ(r.win.prg[0], "12.5000");

  d.Open(r.core, true);
  EXPECT_EQ(d.caption, "Set Machine Coordinates");
  r.ms.MachY = 7;  // a jog while the dialog is open
  d.Edit(0, "3.25");
  d.Ok(r.core);
  EXPECT_EQ(r.ms.MachX, 3.25);
  EXPECT_EQ(r.ms.MachY, 7);  // untouched field: not written back
  EXPECT_TRUE(r.win.messages.empty());
}

// Text that is not a number never becomes a coordinate of 0: "OK" sets no
// axis and names the field.
TEST(Coordinates, OkRefusesAFieldThatIsNotANumber) {
  struct Row {
    int field;
    std::string text;
    const char* named;
  };
  const Row rows[] = {{1, "letters", "Y is not a number: \"letters\""},
                      {2, "", "Z is not a number: \"\""},
                      {0, "3.25mm", "X is not a number: \"3.25mm\""},
                      {0, "1,5", "X is not a number: \"1,5\""}};
  for (const Row& row : rows) {
    SCOPED_TRACE(row.text);
    TestRig r;
    r.ms.PrgX = 1, r.ms.PrgY = 2, r.ms.PrgZ = 3;
    CoordinateDialog d;
    d.Open(r.core, false);
    d.Edit(0, "12.5");
    d.Edit(row.field, row.text);
    d.Ok(r.core);
    EXPECT_EQ(r.ms.PrgX, 1);
    EXPECT_EQ(r.ms.PrgY, 2);
    EXPECT_EQ(r.ms.PrgZ, 3);
    ASSERT_EQ(r.win.messages.size(), 1u);
    EXPECT_NE(r.win.messages[0].text.find(row.named), std::string::npos) << r.win.messages[0].text;
    EXPECT_TRUE(d.changed[row.field]);  // the edit stays for the operator to mend
  }
}

TEST(Coordinates, ZeroButtonsAndFieldFormatting) {
  TestRig r;
  r.ms.PrgX = 5, r.ms.MachX = 9;
  CoordinateDialog d;
  d.Open(r.core, false);
  d.Edit(2, "1.5");
  d.LostFocus(2);
  EXPECT_EQ(d.fields[2], "1.5000");
  d.Edit(1, "x");
  d.LostFocus(1);
  EXPECT_EQ(d.fields[1], "x");
  d.ZeroAll();
  d.Ok(r.core);
  EXPECT_EQ(r.ms.PrgX, 0);
  Command12_Click(r.core);
  EXPECT_EQ(r.ms.MachX, 0);
  EXPECT_EQ(r.win.mach[0], "0.0000");
  r.ms.PrgY = 4;
  r.ms.Running = true;  // refused while motion is under way
  ZeroPrg_Click(r.core);
  EXPECT_EQ(r.ms.PrgY, 4);
}

}  // namespace
}  // namespace brimo::test
