// Pulse trains of the step engine, seen on the simulated port.
#include "core/machine/step_engine.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "core/machine/messages.h"
#include "support/pulse_train.h"
#include "support/test_rig.h"

namespace brimo::test {
namespace {

// Pulse bytes (the rising write of every pulse).
std::vector<int> PulseBytes(const SimulatedPort& port) {
  std::vector<int> out;
  for (const TrainPulse& p : PulseTrain(port)) out.push_back(p.step);
  return out;
}

// Ticks between successive step writes.
std::vector<int64_t> Intervals(const SimulatedPort& port) { return RiseIntervals(port); }

void SetUpLinear(MachineState& ms, double dx, double dy, double dz) {
  ms.DeltaStepsX = dx, ms.DeltaStepsY = dy, ms.DeltaStepsZ = dz;
  ms.MoveSteps = std::max({std::fabs(dx), std::fabs(dy), std::fabs(dz)});
  ms.StepsLeftX = std::fabs(dx), ms.StepsLeftY = std::fabs(dy), ms.StepsLeftZ = std::fabs(dz);
}

TEST(RunLinearSteps, TenByFiveSpreadsYOverEverySecondPulse) {
  TestRig r;
  r.ms.StepRate = 1000;
  SetUpLinear(r.ms, 10, 5, 0);
  RunLinearSteps(r.core);
  // X step pin 3 (mask 2) in all ten pulses, Y step pin 5 (mask 8) in the
  // even ones; positive moves with DirSense -1 leave the direction lines low.
  std::vector<int> expected{2, 10, 2, 10, 2, 10, 2, 10, 2, 10};
  EXPECT_EQ(PulseBytes(r.port), expected);
  for (const TrainPulse& p : PulseTrain(r.port)) EXPECT_EQ(p.dir, 0);
  EXPECT_NEAR(r.ms.PrgX, 10 * 0.0075, 1e-12);
  EXPECT_NEAR(r.ms.MachY, 5 * 0.0075, 1e-12);
  EXPECT_EQ(r.ms.StepsLeftX, 0);
  EXPECT_EQ(r.ms.StepsLeftY, 0);
}

TEST(RunLinearSteps, FortyNineStepsTakeFiftyPulsesTheFirstEmpty) {
  TestRig r;
  r.ms.StepRate = 1000;
  SetUpLinear(r.ms, -49, 0, 0);
  RunLinearSteps(r.core);
  auto bytes = PulseBytes(r.port);
  ASSERT_EQ(bytes.size(), 50u);
  EXPECT_EQ(bytes[0], 0);  // nothing steps in the first iteration
  // Negative X with DirSense -1: direction line (pin 2, mask 1) high.
  for (size_t i = 1; i < bytes.size(); ++i) EXPECT_EQ(bytes[i], 3) << i;
  EXPECT_NEAR(r.ms.PrgX, -49 * 0.0075, 1e-12);
}

TEST(RunLinearSteps, AccumulatorsCarryTheirFractionIntoTheNextMove) {
  TestRig r;
  r.ms.Offline = true;
  r.ms.StepRate = 1000;
  SetUpLinear(r.ms, 3, 1, 0);
  RunLinearSteps(r.core);
  EXPECT_NEAR(r.ms.StepAccY, 0.0, 1e-12);
  SetUpLinear(r.ms, 3, 2, 0);
  r.ms.StepAccY = 0.5;  // left by an earlier move: carries, is not reset
  RunLinearSteps(r.core);
  EXPECT_NEAR(r.ms.PrgY, 3 * 0.0075, 1e-12);
  EXPECT_NEAR(r.ms.StepAccY, 0.5, 1e-9);
}

TEST(RunLinearSteps, DiagonalPulsesStretchTheFollowingInterval) {
  TestRig r;
  r.ms.StepRate = 1000;
  SetUpLinear(r.ms, 5, 5, 0);
  RunLinearSteps(r.core);
  // Every pulse after the first is due 10000 / 0.707 = 14144.27 ticks after
  // the one before on the schedule; each is written at the first whole tick.
  const std::vector<TrainPulse> t = PulseTrain(r.port);
  ASSERT_EQ(t.size(), 5u);
  for (size_t i = 1; i < t.size(); ++i)
    EXPECT_EQ(t[i].rise - t[0].rise, static_cast<int64_t>(std::ceil(i * (10000 / 0.707)))) << i;
  EXPECT_EQ(r.ms.DiagonalFactor, 0.707);
}

TEST(RunLinearSteps, StraightPulsesKeepTheFullRateInterval) {
  TestRig r;
  r.ms.StepRate = 200;  // 10 MHz / 200 = 50000 ticks
  SetUpLinear(r.ms, 0, 0, 4);
  RunLinearSteps(r.core);
  auto iv = Intervals(r.port);
  ASSERT_EQ(iv.size(), 3u);
  for (auto t : iv) EXPECT_EQ(t, 50000);
  EXPECT_EQ(r.ms.DeltaStepsZ, 0);  // cleared after every linear move
}

TEST(RunLinearSteps, OverrideChangeTakesEffectAtTheNextPulse) {
  TestRig r;
  r.ms.StepRate = 1000;
  SetUpLinear(r.ms, 4, 0, 0);
  r.win.onPump = [&](long n) {
    if (n == 2) r.ms.StepRate = 2000;
  };
  RunLinearSteps(r.core);
  std::vector<int64_t> expected{10000, 5000, 5000};
  EXPECT_EQ(Intervals(r.port), expected);
}

TEST(RunLinearSteps, StopEndsTheMoveAfterThePulseInProgressWithSnapshot) {
  TestRig r;
  r.ms.StepRate = 1000;
  r.ms.TargetX = 1, r.ms.TargetY = 2, r.ms.TargetZ = 3;
  r.ms.MotionWord = "G01";
  r.win.penWidth = 2;
  r.win.executeEnabled = false;
  r.ms.InProgramMove = true;
  SetUpLinear(r.ms, 100, 0, 0);
  r.win.onPump = [&](long n) {
    if (n == 3) r.ms.StopRequested = true;
  };
  RunLinearSteps(r.core);
  EXPECT_EQ(PulseBytes(r.port).size(), 3u);
  EXPECT_EQ(r.ms.StepsLeftX, 97);
  EXPECT_NEAR(r.ms.Stop.PrgX, 3 * 0.0075, 1e-12);
  EXPECT_EQ(r.ms.Stop.TargetX, 1);
  EXPECT_EQ(r.ms.Stop.TargetZ, 3);
  EXPECT_EQ(r.ms.Stop.MotionWord, "G01");
  EXPECT_EQ(r.ms.Stop.DrawWidth, 2);
  EXPECT_TRUE(r.ms.StopRecordFilled());
  EXPECT_TRUE(r.win.executeEnabled);
}

TEST(RunLinearSteps, StoppedMoveOutsideAProgramLeavesTheStopRecordAlone) {
  TestRig r;
  r.ms.StepRate = 1000;
  r.ms.Stop.PrgX = 42;
  r.ms.Run = RunState::kStopped;  // a cut program move waiting to be resumed
  r.ms.InProgramMove = false;     // this is a jog or home move
  SetUpLinear(r.ms, 100, 0, 0);
  r.win.onPump = [&](long n) { r.ms.StopRequested = n == 2; };
  RunLinearSteps(r.core);
  EXPECT_EQ(r.ms.StepsLeftX, 98);
  EXPECT_EQ(r.ms.Stop.PrgX, 42);
  EXPECT_TRUE(r.ms.StopRecordFilled());
}

// The clock tick of every pulse of a move with diagonal pulses, read in the
// pump after each pulse. Offline the pulses fall on the ticks they fall on
// online, with nothing on the port and no switch read; with "Fast" they take
// no clock time (online "Fast" changes nothing).
TEST(StepPulse, OfflineIsPacedOnTheOnlineTicksUnlessFast) {
  struct Row {
    bool offline, fast;
  } rows[] = {{false, false}, {false, true}, {true, false}, {true, true}};
  std::vector<int64_t> online;  // from the first row
  for (const Row& row : rows) {
    TestRig r;
    r.ms.Offline = row.offline;
    r.ms.OfflineFast = row.fast;
    r.ms.StepRate = 1000;
    SetUpLinear(r.ms, 40, 20, 0);
    std::vector<int64_t> ticks;
    r.win.onPump = [&](long) { ticks.push_back(r.clock.Now()); };
    RunLinearSteps(r.core);
    EXPECT_NEAR(r.ms.PrgX, 40 * 0.0075, 1e-12);
    EXPECT_NEAR(r.ms.MachY, 20 * 0.0075, 1e-12);
    ASSERT_EQ(ticks.size(), 40u);
    if (!row.offline) {
      const auto train = test::PulseTrain(r.port);
      ASSERT_EQ(train.size(), ticks.size());
      for (size_t i = 0; i < ticks.size(); ++i) EXPECT_EQ(ticks[i], train[i].fall);
      if (online.empty()) online = ticks;
      EXPECT_EQ(ticks, online) << row.fast;
      continue;
    }
    EXPECT_TRUE(r.port.Writes().empty());
    EXPECT_EQ(r.port.StatusReads(), 0);
    if (row.fast)
      EXPECT_EQ(r.clock.Now(), 0);
    else
      EXPECT_EQ(ticks, online);
  }
}

TEST(StepPulse, MasksCombineByOrSoSharedPinsNeverCarry) {
  struct Row {
    bool sharedStep, sharedDir;
    int pulse, dir;  // the two bytes written
  } rows[] = {
      // X and Y step both on pin 3: a sum would drive pin 4 (mask 4).
      {true, false, 2, 0},
      // X and Y direction both on pin 2, both stepping towards -: a sum would
      // drive pin 3 (mask 2) instead.
      {false, true, 2 | 8 | 1, 1},
  };
  for (const Row& row : rows) {
    TestRig r;
    r.ms.StepRate = 1000;
    if (row.sharedStep) {
      r.ms.StepMaskY = r.ms.StepMaskX;
      r.ms.StepX = 1, r.ms.StepY = 1;
    }
    if (row.sharedDir) {
      r.ms.DirMaskY = r.ms.DirMaskX;
      r.ms.StepX = -1, r.ms.StepY = -1;
    }
    StepPulse(r.core);
    const std::vector<TrainPulse> t = PulseTrain(r.port);
    ASSERT_EQ(t.size(), 1u);
    EXPECT_EQ(t[0].step, row.pulse) << row.sharedDir;
    EXPECT_EQ(t[0].dir, row.dir) << row.sharedDir;
  }
}

TEST(StepPulse, ReversedAxisDrivesDirectionHighTowardsPositive) {
  TestRig r;
  r.ms.StepRate = 1000;
  r.ms.DirSenseZ = +1;
  r.ms.StepZ = 1;
  StepPulse(r.core);
  const std::vector<TrainPulse> t = PulseTrain(r.port);
  ASSERT_EQ(t.size(), 1u);
  EXPECT_EQ(t[0].step, 32 | 16);
  EXPECT_EQ(t[0].dir, 16);
}

TEST(StepPulse, UnusableStepRateMovesNothingAndSaysWhy) {
  for (double rate : {0.0, -5.0, std::nan(""), double(INFINITY)}) {
    TestRig r;
    r.ms.StepRate = rate;
    SetUpLinear(r.ms, 10, 0, 0);
    RunLinearSteps(r.core);
    EXPECT_TRUE(r.port.Writes().empty()) << rate;
    EXPECT_EQ(r.ms.PrgX, 0) << rate;
    EXPECT_TRUE(r.ms.StopRequested);
    EXPECT_EQ(r.win.MessagesStartingWith("The move was not started"), 1) << rate;
  }
  TestRig off;  // offline predicts online: refused there too
  off.ms.Offline = true;
  off.ms.StepRate = 0;
  off.ms.StepX = 1;
  StepPulse(off.core);
  EXPECT_EQ(off.ms.PrgX, 0);
  EXPECT_TRUE(off.ms.StopRequested);
}

TEST(StepPulse, MissingPortIsReportedOnceAndTheProgramGoesOffline) {
  TestRig r;
  PortLink none([](std::string& why) -> std::unique_ptr<Port> {
    why = "/dev/parport0 does not exist.";
    return nullptr;
  });
  Core c{r.ms, r.win, r.clock, none, r.store, r.plot};
  r.ms.StepRate = 1000;
  r.ms.StepX = 1;
  StepPulse(c);
  EXPECT_EQ(r.ms.PrgX, 0);  // nothing was sent, so nothing moved
  EXPECT_TRUE(r.ms.Offline);
  EXPECT_TRUE(r.win.offlineShown);
  EXPECT_TRUE(r.ms.StopRequested);
  ASSERT_EQ(r.win.messages.size(), 1u);
  EXPECT_NE(r.win.messages[0].text.find("/dev/parport0"), std::string::npos);
  // Back online by the operator: tried again, but told only after a Reset.
  r.ms.Offline = false;
  StepPulse(c);
  EXPECT_EQ(r.win.messages.size(), 1u);
}

TEST(StepPulse, LivePlotEveryPlotEveryPulsesInForeColour) {
  TestRig r;
  r.ms.Offline = true;
  r.ms.StepRate = 1000;
  r.ms.PlotEvery = 4;
  r.win.foreColour = kBrightGreen;
  SetUpLinear(r.ms, 10, 0, 0);
  RunLinearSteps(r.core);
  ASSERT_EQ(r.win.dots.size(), 2u);  // after pulses 4 and 8
  EXPECT_NEAR(r.win.dots[0].x, 4 * 0.0075, 1e-6);
  EXPECT_EQ(r.win.dots[1].colour, kBrightGreen);
  EXPECT_EQ(r.ms.PlotStepCount, 2);
}

// ---- Absolute schedule, pulse width, direction set-up ---------------------------------

TEST(PulseSchedule, LatePulseIsRepaidAtThreeQuartersAndALongStallRestartsTheSchedule) {
  struct Row {
    const char* name;
    int64_t stall;                   // ticks the loop loses after the third pulse
    std::vector<int64_t> intervals;  // between rising writes, ticks at 10 MHz
  } rows[] = {
      {"on time", 0, std::vector<int64_t>(11, 10000)},
      // Due at 40000, written at 55050 (after the 50-tick pulse): the next
      // ones come 3/4 interval apart until the schedule is met again.
      {"2.5 intervals late",
       25000,
       {10000, 10000, 25050, 7500, 7500, 7500, 7500, 7500, 7500, 9950, 10000}},
      // More than 8 intervals late: the schedule starts again from that write.
      {"9.5 intervals late",
       95000,
       {10000, 10000, 95050, 10000, 10000, 10000, 10000, 10000, 10000, 10000, 10000}},
  };
  for (const Row& row : rows) {
    TestRig r;
    r.ms.StepRate = 1000;
    SetUpLinear(r.ms, 12, 0, 0);
    r.win.onPump = [&](long n) {
      if (n == 3) r.clock.Advance(row.stall);
    };
    RunLinearSteps(r.core);
    EXPECT_EQ(RiseIntervals(r.port), row.intervals) << row.name;
  }
}

TEST(PulseWidth, StepLinesStayHighForThePulseWidthAndDirectionLeadsTheRise) {
  struct Row {
    const char* width;  // "Pulse Width", microseconds
    int64_t ticks;      // at 10 MHz
  } rows[] = {{"5", 50}, {"2", 20}, {"12.5", 125}};
  for (const Row& row : rows) {
    TestRig r;
    r.ms.PulseWidth = row.width;
    DeriveSettings(r.ms, r.form, "0");
    r.ms.StepRate = 1000;
    SetUpLinear(r.ms, 2, 0, 0);  // X+: direction line (pin 2) low
    RunLinearSteps(r.core);
    SetUpLinear(r.ms, -2, 0, 0);  // X-: high
    RunLinearSteps(r.core);
    const std::vector<TrainPulse> t = PulseTrain(r.port);
    ASSERT_EQ(t.size(), 4u) << row.width;
    for (size_t i = 0; i < t.size(); ++i) {
      EXPECT_EQ(t[i].rise, 10000 * static_cast<int64_t>(i + 1)) << row.width << " " << i;
      EXPECT_EQ(t[i].fall - t[i].rise, row.ticks) << row.width << " " << i;
    }
    // Written alone where the line changes: the first pulse (the line's level
    // is not known) and the reversal, a whole pulse width before the rise,
    // after the previous pulse has fallen.
    EXPECT_TRUE(t[0].setup);
    EXPECT_FALSE(t[1].setup);
    EXPECT_TRUE(t[2].setup);
    EXPECT_FALSE(t[3].setup);
    EXPECT_EQ(t[2].setupByte, 1);
    EXPECT_EQ(t[2].step, 3);
    EXPECT_EQ(t[2].dir, 1);
    EXPECT_GE(t[2].rise - t[2].setupTick, row.ticks) << row.width;
    EXPECT_GE(t[2].setupTick, t[1].fall) << row.width;
  }
}

TEST(PulseWidth, RateWithIntervalUnderTwoPulseWidthsIsRefused) {
  struct Row {
    const char* width;
    double rate;  // steps/s
    bool refused;
  } rows[] = {{"5", 100000, false}, {"5", 100001, true}, {"2", 200000, false}, {"2", 300000, true}};
  for (const Row& row : rows) {
    TestRig r;
    r.ms.PulseWidth = row.width;
    DeriveSettings(r.ms, r.form, "0");
    r.ms.StepRate = row.rate;
    SetUpLinear(r.ms, 10, 0, 0);
    RunLinearSteps(r.core);
    EXPECT_EQ(r.ms.StopRequested, row.refused) << row.rate;
    EXPECT_EQ(PulseTrain(r.port).size(), row.refused ? 0u : 10u) << row.rate;
    ASSERT_EQ(r.win.messages.size(), row.refused ? 1u : 0u) << row.rate;
    if (row.refused) {
      EXPECT_EQ(r.win.messages[0].title, msg::kFastRateTitle);
    }
  }
}

}  // namespace
}  // namespace brimo::test
