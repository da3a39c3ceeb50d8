// Limit and home switches decoded from whole status bytes.
#include "machine/switches.h"

#include <gtest/gtest.h>

#include "machine/messages.h"
#include "machine/step_engine.h"
#include "support/pulse_train.h"
#include "support/test_rig.h"

namespace brimo::test {
namespace {

TEST(DecodeSwitches, ExactByteLists) {
  struct Row {
    int byte, bits;
  } rows[] = {
      {127, 0},                         // all open
      {15, 0},                          // matches no list
      {142, kLimit | kHomeY | kHomeZ},  // not X
      {255, kHomeX},                    // only home X
      {191, kLimit | kHomeX},
      {143, kLimit | kHomeX | kHomeY | kHomeZ},
      {31, kLimit | kHomeY},
      {47, kLimit | kHomeZ},
      {79, kHomeY | kHomeZ},
      {111, kHomeZ},
      {0, 0},
  };
  for (const auto& r : rows) EXPECT_EQ(DecodeSwitches(r.byte), r.bits) << r.byte;
}

TEST(ReadSwitches, LimitStopsAfterThePulseWithAMessageEachPulse) {
  TestRig r;
  r.ms.StepRate = 1000;
  r.port.ScriptStatus({191});  // limit and home X active
  r.ms.DeltaStepsX = 10, r.ms.MoveSteps = 10, r.ms.StepsLeftX = 10;
  RunLinearSteps(r.core);
  EXPECT_EQ(PulseTrain(r.port).size(), 1u);  // one pulse, then the stop check
  EXPECT_EQ(r.ms.LimitActive, 1);
  EXPECT_EQ(r.win.MessagesStartingWith(msg::kLimitZone), 1);
  // Home X zeroed MachX during the pulse, then the pulse added its step.
  EXPECT_NEAR(r.ms.MachX, 0.0075, 1e-12);

  // Moving off: each attempt (stop cleared) moves exactly one step and warns.
  r.ms.StopRequested = false;
  RunLinearSteps(r.core);
  EXPECT_EQ(PulseTrain(r.port).size(), 2u);
  EXPECT_EQ(r.win.MessagesStartingWith(msg::kLimitZone), 2);
}

TEST(ReadSwitches, HomeSwitchLeavesTheAxisOneStepFromZero) {
  TestRig r;
  r.ms.StepRate = 1000;
  r.ms.MachX = 5;
  r.ms.MachY = 7;
  r.port.ScriptStatus({127, 255, 127});
  r.ms.StepX = -1;
  StepPulse(r.core);
  EXPECT_NEAR(r.ms.MachX, 5 - 0.0075, 1e-12);
  StepPulse(r.core);  // 255: home X only
  EXPECT_NEAR(r.ms.MachX, -0.0075, 1e-12);
  EXPECT_EQ(r.ms.HomeXActive, 1);
  EXPECT_EQ(r.ms.MachY, 7);
  EXPECT_FALSE(r.ms.StopRequested);
  StepPulse(r.core);
  EXPECT_EQ(r.ms.HomeXActive, 0);
  EXPECT_NEAR(r.ms.MachX, -0.015, 1e-12);
}

// Each axis's home byte zeroes that axis's machine coordinate and no other.
TEST(ReadSwitches, EachHomeByteZeroesItsOwnAxisOnly) {
  struct Row {
    uint8_t byte;
    int axis;  // 0 X, 1 Y, 2 Z
  } rows[] = {{255, 0}, {95, 1}, {111, 2}};
  for (const Row& row : rows) {
    TestRig r;
    r.ms.StepRate = 1000;
    r.ms.MachX = 5, r.ms.MachY = 7, r.ms.MachZ = 9;
    r.port.ScriptStatus({row.byte});
    StepPulse(r.core);  // an empty pulse: no step, the switches are read
    const double mach[3] = {r.ms.MachX, r.ms.MachY, r.ms.MachZ};
    const int active[3] = {r.ms.HomeXActive, r.ms.HomeYActive, r.ms.HomeZActive};
    const double before[3] = {5, 7, 9};
    for (int a = 0; a < 3; ++a) {
      EXPECT_EQ(mach[a], a == row.axis ? 0 : before[a]) << int(row.byte) << " axis " << a;
      EXPECT_EQ(active[a], a == row.axis ? 1 : 0) << int(row.byte) << " axis " << a;
    }
    EXPECT_FALSE(r.ms.StopRequested) << int(row.byte);
  }
}

TEST(ReadSwitches, NeverReadOffline) {
  TestRig r;
  r.ms.Offline = true;
  r.ms.StepRate = 1000;
  r.ms.MachX = 3;
  r.port.ScriptStatus({143});
  r.ms.StepX = 1;
  StepPulse(r.core);
  EXPECT_EQ(r.port.StatusReads(), 0);
  EXPECT_TRUE(r.win.messages.empty());
  EXPECT_NEAR(r.ms.MachX, 3.0075, 1e-12);
}

}  // namespace
}  // namespace brimo::test
