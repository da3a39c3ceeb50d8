// Jogging, home moves, the feed override and the coordinate set-up.
#include "core/control/operator_panels.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "core/interpreter/dispatch.h"
#include "core/interpreter/run_control.h"
#include "core/machine/messages.h"
#include "core/machine/settings_form.h"
#include "support/pulse_train.h"
#include "support/test_rig.h"

namespace brimo::test {
namespace {

// Releases the jog button inside the event pump after `pulses` pulses.
void ReleaseAfter(TestRig& r, int index, long pulses, JogSpeed speed) {
  r.win.onPump = [&r, index, pulses, speed](long n) {
    if (n == pulses) EndJog(r.core, index, kLeftButton, speed);
  };
}

long Pulses(const TestRig& r) { return static_cast<long>(PulseTrain(r.port).size()); }

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
    Jog(r.core, 4, kLeftButton, row.speed);
    EXPECT_EQ(Pulses(r), 25);
    EXPECT_NEAR(r.ms.PrgX, 25 * 0.0075, 1e-12);
    EXPECT_NEAR(r.ms.MachX, 25 * 0.0075, 1e-12);
    EXPECT_EQ(r.ms.FeedNow, row.rate);
    EXPECT_EQ(r.win.feedText, row.rate == 500 ? "500" : row.rate == 200 ? "200" : "100");
    EXPECT_EQ(RiseIntervals(r.port)[1], row.interval);
    EXPECT_EQ(r.ms.MotionWord, "G02");  // put back
    EXPECT_FALSE(r.ms.Running);
  }
}

TEST(Jog, FastRateExampleAndOfflineJog) {
  TestRig r;
  r.ms.Offline = true;
  ReleaseAfter(r, 1, 10, JogSpeed::Fast);  // Z -
  Jog(r.core, 1, kLeftButton, JogSpeed::Fast);
  EXPECT_NEAR(r.ms.StepRate, 1111.1, 0.05);  // 500 / 0.0075 / 60
  EXPECT_TRUE(r.port.Writes().empty());
  EXPECT_NEAR(r.ms.PrgZ, -10 * 0.0075, 1e-12);
}

// "Slow" (100 length/min) held for half a second by the clock: offline the
// jog makes the pulses it makes online, on the same ticks; with "Fast" it
// takes no clock time (released after 1000 pulses then).
TEST(Jog, OfflineJogIsPacedOnTheOnlineTicksUnlessFast) {
  struct Row {
    bool offline, fast;
  } rows[] = {{false, false}, {true, false}, {true, true}};
  std::vector<int64_t> online;  // from the first row
  for (const Row& row : rows) {
    TestRig r;
    r.ms.Offline = row.offline;
    r.ms.OfflineFast = row.fast;
    std::vector<int64_t> ticks;
    r.win.onPump = [&](long n) {
      ticks.push_back(r.clock.Now());
      if (r.clock.Now() >= 5'000'000 || n == 1000) EndJog(r.core, 4, kLeftButton, JogSpeed::Slow);
    };
    Jog(r.core, 4, kLeftButton, JogSpeed::Slow);  // X +
    EXPECT_NEAR(r.ms.PrgX, static_cast<double>(ticks.size()) * 0.0075, 1e-9);
    if (!row.offline) {
      online = ticks;
      EXPECT_NEAR(static_cast<double>(ticks.size()), 111, 1);  // 222.2 steps/s for 0.5 s
      continue;
    }
    EXPECT_TRUE(r.port.Writes().empty());
    if (row.fast) {
      EXPECT_EQ(ticks.size(), 1000u);
      EXPECT_EQ(r.clock.Now(), 0);
    } else {
      EXPECT_EQ(ticks, online);
    }
  }
}

TEST(Jog, AShortClickStillMakesOnePulse) {
  TestRig r;
  ReleaseAfter(r, 3, 1, JogSpeed::Slow);
  Jog(r.core, 3, kLeftButton, JogSpeed::Slow);
  EXPECT_EQ(Pulses(r), 1);
  EXPECT_NEAR(r.ms.PrgY, 0.0075, 1e-12);
}

TEST(Jog, StepMovesOneStepAndReleaseLeavesTheStopFlag) {
  TestRig r;
  r.ms.FeedNow = 0;  // no feed set since start-up
  Jog(r.core, 2, kLeftButton, JogSpeed::Step);
  EXPECT_EQ(Pulses(r), 1);
  EXPECT_NEAR(r.ms.PrgX, -0.0075, 1e-12);
  EXPECT_NEAR(r.ms.StepRate, 100 / 0.0075 / 60, 1e-9);  // paced at "Slow"
  EXPECT_TRUE(r.win.messages.empty());
  EndJog(r.core, 2, kLeftButton, JogSpeed::Step);
  EXPECT_FALSE(r.ms.StopRequested);
}

TEST(Jog, OnlyTheLeftButtonJogsAndNothingJogsDuringARun) {
  TestRig r;
  Jog(r.core, 4, kRightButton, JogSpeed::Fast);
  EXPECT_EQ(Pulses(r), 0);
  r.ms.Running = true;
  Jog(r.core, 4, kLeftButton, JogSpeed::Step);
  EXPECT_EQ(Pulses(r), 0);
  EXPECT_EQ(r.win.beeps, 1);
}

TEST(Jog, LimitSwitchEndsTheJogAndMotionWordComesBack) {
  TestRig r;
  r.ms.MotionWord = "G01";
  r.port.ScriptStatus({191});
  // The release is swallowed by the "Limit Zone" box: never delivered.
  Jog(r.core, 4, kLeftButton, JogSpeed::Fast);
  EXPECT_EQ(Pulses(r), 1);
  EXPECT_EQ(r.win.MessagesStartingWith(msg::kLimitZone), 1);
  EXPECT_EQ(r.ms.MotionWord, "G01");
}

// A jog press refused during a run: its release (mouse or key) stops the run
// like any key, and changes nothing else. The resumed run goes on as its
// program says: the modal G01 lines at the feed, not as rapids.
TEST(Jog, ReleaseOfARefusedPressStopsTheRunAndChangesNothingElse) {
  for (JogSpeed speed : {JogSpeed::Slow, JogSpeed::Step}) {
    TestRig r;
    r.UniformAxes(0.01, 500);
    r.ms.Offline = true;
    r.ms.MotionWord = "G00";  // as after a program that ended on a rapid
    ReleaseAfter(r, 6, 1, JogSpeed::Slow);
    Jog(r.core, 6, kLeftButton, JogSpeed::Slow);  // one jog while G00
    r.LoadProgram("G01 X2 F100\nX3\n");
    r.win.onPump = [&](long n) {
      if (n != 50) return;
      Jog(r.core, 4, kLeftButton, speed);  // X+, refused: the run moves
      EndJog(r.core, 4, kLeftButton, speed);
      r.ms.StopRequested = true;  // as "Pause": the stop alone is expected
    };
    Execute(r.core);
    ASSERT_TRUE(r.ms.StopRecordFilled());
    EXPECT_EQ(r.win.beeps, 1);
    EXPECT_EQ(r.ms.MotionWord, "G01");
    EXPECT_EQ(r.ms.Stop.MotionWord, "G01");
    EXPECT_EQ(r.ms.Stop.TargetX, 2);
    EXPECT_EQ(r.ms.TargetX, 2);

    std::vector<double> feeds;  // FeedNow at every pulse of the resumed run
    r.win.onPump = [&](long) { feeds.push_back(r.ms.FeedNow); };
    Execute(r.core);
    ASSERT_FALSE(feeds.empty());
    for (double f : feeds) ASSERT_EQ(f, 100);  // never the Fast rate 500
    EXPECT_NEAR(r.ms.PrgX, 3, 1e-9);
    EXPECT_EQ(r.win.MessagesStartingWith(msg::kDone), 1);
  }
}

// Jog and home moves whose pulses would be more than 60 s apart move
// nothing and name the feed.
TEST(SlowFeedMend, JogAndHomeMovesAtATinyRateAreRefused) {
  for (bool offline : {false, true}) {
    TestRig jog;
    jog.ms.Offline = offline;
    jog.ms.SlowRateX = 1e-15;
    ReleaseAfter(jog, 4, 5, JogSpeed::Slow);
    Jog(jog.core, 4, kLeftButton, JogSpeed::Slow);
    EXPECT_EQ(jog.ms.PrgX, 0);
    EXPECT_EQ(jog.clock.Now(), 0);
    EXPECT_EQ(jog.win.MessagesStartingWith(msg::kSlowFeed), 1);
    EXPECT_FALSE(jog.ms.Running);

    TestRig home;
    home.ms.Offline = offline;
    home.ms.FastRateX = home.ms.FastRateY = 1e-15;
    home.ms.ZHomingMoveMode = "None";  // the X and Y leg alone
    home.ms.PrgX = 1, home.ms.MachX = 1;
    SettingsForm form;
    form.HomeUsingHomeSwitch = false;
    form.HomeUsingProgramZero = true;
    form.HomeMoveKind = "Rapid";
    Home(home.core, form);
    EXPECT_EQ(home.ms.PrgX, 1);
    EXPECT_EQ(home.clock.Now(), 0);
    EXPECT_EQ(home.win.MessagesStartingWith(msg::kSlowFeed), 1);
    EXPECT_FALSE(home.ms.Running);
  }
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
    home.HomeUsingHomeSwitch = false;
    home.*kHomeReferences[row.choice] = true;
    home.HomeMoveKind = row.kind;
    home.HomeFeedrate = "120";
    r.ms.MotionWord = "G01";
    r.ms.TargetX = 33;
    Home(r.core, home);
    EXPECT_NEAR(r.ms.PrgX, row.endPrgX, 1e-9) << row.kind;
    EXPECT_NEAR(r.ms.MachX, row.endMachX, 1e-9) << row.kind;
    EXPECT_EQ(r.ms.FeedNow, row.feed) << row.kind;
    EXPECT_EQ(r.ms.MotionWord, "G01");  // a halted run reads its line as written
    EXPECT_EQ(r.ms.TargetX, 33);
  }
}

TEST(Home, HomeSwitchChoiceMovesNothingAndSaysSo) {
  TestRig r;
  r.ms.PrgX = 3;
  SettingsForm home;  // "Using Home Switchs" selected
  Home(r.core, home);
  EXPECT_EQ(r.ms.PrgX, 3);
  EXPECT_TRUE(r.port.Writes().empty());
  ASSERT_EQ(r.win.statusLines.size(), 1u);
  EXPECT_EQ(r.win.statusLines[0], msg::kHomeUsingSwitches);
}

// Before X and Y move, Z rises alone at the Z Fast rate to the safe height of
// "Z-axis move (Homing)"; it never goes down, and a second press does not
// rise again.
TEST(Home, ZRisesToTheSafeHeightFirstAndNeverGoesDown) {
  struct Row {
    const char* mode;
    const char* distance;
    double prgZ, machZ;
    double endZ;  // program Z after the home move
  } rows[] = {
      {"Relative", "10", -1, 4, 10},      // 10 above program Z 0
      {"Absolute", "10", -1, 4, 5},       // machine Z 10 = program Z 5
      {"None", "10", -1, 4, -1},          // no rise
      {"Relative", "10", 12, 4, 12},      // above the safe height: stays
      {"Absolute", "2", -1, 4, -1},       // machine Z 2 lies below the tool
      {"Limit switch", "10", -1, 4, 10},  // offline: as Relative
      {"relative", "3", -1, 4, 3},        // unknown text: as Relative
  };
  for (const auto& row : rows) {
    TestRig r;
    r.UniformAxes(0.01, 500);
    r.ms.FastRateZ = 250;
    r.ms.Offline = true;
    r.ms.ZHomingMoveMode = row.mode;
    r.ms.ZHomingMoveDistance = row.distance;
    r.ms.PrgX = 1, r.ms.MachX = 1;
    r.ms.PrgZ = r.ms.TargetZ = row.prgZ;
    r.ms.MachZ = row.machZ;
    r.ms.MotionWord = "G01";
    r.ms.ProgramFeed = 300;
    SettingsForm home;
    home.HomeUsingHomeSwitch = false, home.HomeUsingProgramZero = true;
    home.HomeMoveKind = "Feedrate";
    home.HomeFeedrate = "120";
    struct Pulse {
      double x, z, feed;
    };
    std::vector<Pulse> path;
    r.win.onPump = [&](long) { path.push_back({r.ms.PrgX, r.ms.PrgZ, r.ms.FeedNow}); };
    Home(r.core, home);
    EXPECT_NEAR(r.ms.PrgZ, row.endZ, 1e-9) << row.mode << " " << row.prgZ;
    EXPECT_NEAR(r.ms.PrgX, 0, 1e-9) << row.mode;
    double z = row.prgZ;
    for (const auto& p : path) {
      ASSERT_GE(p.z, z - 1e-12) << row.mode;  // Z never goes down
      if (p.z != z) {
        EXPECT_EQ(p.x, 1) << row.mode;       // X waits for the rise
        EXPECT_EQ(p.feed, 250) << row.mode;  // the Z Fast rate
      } else {
        EXPECT_EQ(p.feed, 120) << row.mode;  // X and Y at the home feed
      }
      z = p.z;
    }
    // Everything the run reads is as it was.
    EXPECT_EQ(r.ms.MotionWord, "G01");
    EXPECT_EQ(r.ms.TargetZ, row.prgZ);
    EXPECT_EQ(r.ms.ProgramFeed, 300);

    path.clear();
    r.ms.PrgX = 2;
    Home(r.core, home);  // a second press: X only
    for (const auto& p : path) EXPECT_NEAR(p.z, row.endZ, 1e-9) << row.mode;
    EXPECT_NEAR(r.ms.PrgX, 0, 1e-9);
  }
}

// "Limit switch", online: Z rises until the home Z switch reads active.
TEST(Home, LimitSwitchModeRisesOnlineUntilTheHomeZSwitch) {
  TestRig r;
  r.UniformAxes(0.01, 500);
  r.ms.ZHomingMoveMode = "Limit switch";
  r.ms.PrgX = 0.05, r.ms.MachX = 0.05;
  r.ms.PrgZ = r.ms.TargetZ = -1, r.ms.MachZ = 3;
  std::vector<uint8_t> status(29, 127);  // all switches open
  status.push_back(111);                 // home Z only, from then on
  r.port.ScriptStatus(status);
  SettingsForm home;
  home.HomeUsingHomeSwitch = false, home.HomeUsingProgramZero = true;
  Home(r.core, home);
  EXPECT_NEAR(r.ms.PrgZ, -1 + 30 * 0.01, 1e-9);
  EXPECT_NEAR(r.ms.PrgX, 0, 1e-9);
  EXPECT_EQ(Pulses(r), 35);  // 30 up, then 5 in X
  EXPECT_EQ(r.ms.MachZ, 0);  // the switch zeroes machine Z

  const long before = Pulses(r);
  r.ms.PrgX = r.ms.MachX = 0.05;
  Home(r.core, home);  // the switch read active last: no rise
  EXPECT_EQ(Pulses(r) - before, 5);
}

// A home move during a stopped run leaves the stop record as it was, and the
// resumed run cuts at its feed.
TEST(Home, HomeMoveDuringAStoppedRunKeepsTheStopRecord) {
  TestRig r;
  r.UniformAxes(0.01, 500);
  r.ms.Offline = true;
  r.ms.ZHomingMoveMode = "Relative";
  r.ms.ZHomingMoveDistance = "5";
  r.LoadProgram("G01 Z-1 F100\nX2\nX3\n");
  r.win.onPump = [&](long n) {
    if (n == 150) Pause(r.core);  // "Pause" in the X2 move, at Z -1
  };
  Execute(r.core);
  ASSERT_TRUE(r.ms.StopRecordFilled());
  const MachineState stopped = r.ms;
  r.win.onPump = nullptr;
  SettingsForm home;
  home.HomeUsingHomeSwitch = false, home.HomeUsingProgramZero = true;
  Home(r.core, home);  // rapid home
  EXPECT_NEAR(r.ms.PrgZ, 5, 1e-9);
  EXPECT_TRUE(r.ms.StopRecordFilled());
  EXPECT_EQ(r.ms.Stop.PrgX, stopped.Stop.PrgX);
  EXPECT_EQ(r.ms.Stop.PrgZ, stopped.Stop.PrgZ);
  EXPECT_EQ(r.ms.Stop.TargetX, stopped.Stop.TargetX);
  EXPECT_EQ(r.ms.Stop.MotionWord, "G01");
  EXPECT_EQ(r.ms.MotionWord, stopped.MotionWord);
  EXPECT_EQ(r.ms.TargetX, stopped.TargetX);
  EXPECT_EQ(r.ms.TargetZ, stopped.TargetZ);

  std::vector<double> feeds;
  r.win.onPump = [&](long) { feeds.push_back(r.ms.FeedNow); };
  Execute(r.core);
  EXPECT_NEAR(r.ms.PrgX, 3, 1e-9);
  EXPECT_NEAR(r.ms.PrgZ, -1, 1e-9);
  for (double f : feeds) ASSERT_EQ(f, 100);
}

TEST(Home, FeedrateFieldMustBeAPositiveNumber) {
  for (const char* text : {"", "abc", "0", "-5"}) {
    TestRig r;
    r.ms.Offline = true;
    r.ms.PrgX = 4;
    SettingsForm home;
    home.HomeUsingHomeSwitch = false, home.HomeUsingProgramZero = true;
    home.HomeMoveKind = "rapid";  // lower case: a feed move
    home.HomeFeedrate = text;
    Home(r.core, home);
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
  // After the second pulse (a wait of 10 ms also pumps in its middle).
  r.win.onPump = [&](long) {
    if (PulseTrain(r.port).size() == 2 && r.win.overridePercent != 300) {
      r.win.overridePercent = 300;
      SetFeed(r.core);
    }
  };
  StartLinearMove(r.core);
  const std::vector<int64_t> iv = RiseIntervals(r.port);
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
  ZeroMachine(r.core);
  EXPECT_EQ(r.ms.MachX, 0);
  EXPECT_EQ(r.win.mach[0], "0.0000");
  r.ms.PrgY = 4;
  r.ms.Running = true;  // refused while motion is under way
  ZeroProgram(r.core);
  EXPECT_EQ(r.ms.PrgY, 4);
}

TEST(PulseLateness, MessageLineGivesTheWorstLatenessAfterAJogAndAHomeMove) {
  TestRig r;
  r.win.onPump = [&](long n) {
    if (n == 2) r.clock.Advance(20000);  // the third pulse is due 9000 after the second
    if (n == 6) EndJog(r.core, 4, kLeftButton, JogSpeed::Fast);
  };
  Jog(r.core, 4, kLeftButton, JogSpeed::Fast);
  ASSERT_EQ(r.win.statusLines.size(), 1u);
  EXPECT_EQ(r.win.statusLines[0],
            "Pulses: worst lateness 1105 us, 1 later than a quarter interval");

  // An idle second later a new jog (X-) starts a new schedule: its first
  // pulse is made at once (after its direction set-up), and is not late.
  r.clock.Advance(10'000'000);
  const int64_t pressed = r.clock.Now();
  const size_t before = PulseTrain(r.port).size();
  ReleaseAfter(r, 2, r.win.pumps + 3, JogSpeed::Fast);
  Jog(r.core, 2, kLeftButton, JogSpeed::Fast);
  const std::vector<TrainPulse> t = PulseTrain(r.port);
  ASSERT_EQ(t.size(), before + 3);
  EXPECT_EQ(t[before].setupTick, pressed);
  EXPECT_EQ(t[before].rise, pressed + 50);
  ASSERT_EQ(r.win.statusLines.size(), 2u);
  EXPECT_EQ(r.win.statusLines[1], "Pulses: worst lateness 0 us, 0 later than a quarter interval");

  r.win.onPump = nullptr;
  SettingsForm home;
  home.HomeUsingHomeSwitch = false,
  home.HomeUsingProgramZero = true;  // to program zero, as a rapid
  Home(r.core, home);
  ASSERT_EQ(r.win.statusLines.size(), 3u);
  EXPECT_EQ(r.win.statusLines[2], "Pulses: worst lateness 0 us, 0 later than a quarter interval");
}

}  // namespace
}  // namespace brimo::test
