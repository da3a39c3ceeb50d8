// Limit and home switches decoded from whole status bytes.
#include "core/machine/switches.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <iterator>

#include "core/machine/config_file.h"
#include "core/machine/messages.h"
#include "core/machine/step_engine.h"
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

// The decoding the table replaced: the whole byte searched in four fixed
// lists, kept here as the reference the table must match.
int ListDecoding(int b) {
  static constexpr int kLimitList[] = {31, 47, 63, 142, 143, 159, 175, 191};
  static constexpr int kHomeXList[] = {143, 159, 175, 191, 207, 223, 239, 255};
  static constexpr int kHomeYList[] = {31, 79, 95, 142, 143, 159, 207, 223};
  static constexpr int kHomeZList[] = {47, 79, 111, 142, 143, 175, 207, 239};
  const auto in = [b](const int(&list)[8]) {
    return std::find(std::begin(list), std::end(list), b) != std::end(list);
  };
  return (in(kLimitList) ? kLimit : 0) | (in(kHomeXList) ? kHomeX : 0) |
         (in(kHomeYList) ? kHomeY : 0) | (in(kHomeZList) ? kHomeZ : 0);
}

// Every status byte under every switch setting: the table and the pulse
// that reads it decide exactly as the byte lists did (the enable boxes, the
// switch pins and the axis reversal change nothing).
TEST(SwitchTable, SameDecisionsAsTheByteListsForEveryByteAndSetting) {
  for (int b = 0; b < 256; ++b) ASSERT_EQ(kSwitchTable[b], ListDecoding(b)) << b;
  for (int b : {-1, 256, 383, 1 << 20}) EXPECT_EQ(DecodeSwitches(b), 0) << b;

  struct Setting {
    const char* name;
    int homeOn, limitOn;
    std::array<const char*, 4> pins;  // home X, Y, Z, limit
    int reverse;
  } settings[] = {
      {"defaults", 0, 0, {"10", "11", "12", "13"}, 0},
      {"both enabled", 1, 1, {"10", "11", "12", "13"}, 0},
      {"home only", 1, 0, {"10", "11", "12", "13"}, 0},
      {"limit only", 0, 1, {"10", "11", "12", "13"}, 0},
      {"pins swapped", 1, 1, {"13", "12", "11", "10"}, 0},
      {"pins empty", 1, 1, {"", "", "", ""}, 0},
      {"data pins", 1, 1, {"2", "3", "4", "5"}, 0},
      {"axes reversed", 1, 1, {"10", "11", "12", "13"}, 1},
  };
  for (const Setting& set : settings) {
    TestRig r;
    r.form.HomeSwitchEnabled = set.homeOn;
    r.form.LimitSwitchEnabled = set.limitOn;
    r.form.HomePinX = set.pins[0], r.form.HomePinY = set.pins[1];
    r.form.HomePinZ = set.pins[2], r.form.LimitPin = set.pins[3];
    r.form.ReverseX = r.form.ReverseY = r.form.ReverseZ = set.reverse;
    ASSERT_TRUE(ApplyFormSettings(r.ms, r.form, "0").ok) << set.name;
    r.ms.StepRate = 1000;
    for (int b = 0; b < 256; ++b) {
      const int want = ListDecoding(b);
      r.ms.MachX = 5, r.ms.MachY = 7, r.ms.MachZ = 9;
      r.ms.StopRequested = false;
      const int limitMessages = r.win.MessagesStartingWith(msg::kLimitZone);
      r.port.ScriptStatus({static_cast<uint8_t>(b)});
      ASSERT_TRUE(StepPulse(r.core)) << set.name << " " << b;  // an empty pulse
      const bool limit = want & kLimit;
      EXPECT_EQ(r.ms.LimitActive, limit ? 1 : 0) << set.name << " " << b;
      EXPECT_EQ(r.ms.StopRequested, limit) << set.name << " " << b;
      EXPECT_EQ(r.win.MessagesStartingWith(msg::kLimitZone), limitMessages + (limit ? 1 : 0))
          << set.name << " " << b;
      const int bits[3] = {kHomeX, kHomeY, kHomeZ};
      const int active[3] = {r.ms.HomeXActive, r.ms.HomeYActive, r.ms.HomeZActive};
      const double mach[3] = {r.ms.MachX, r.ms.MachY, r.ms.MachZ};
      const double before[3] = {5, 7, 9};
      for (int a = 0; a < 3; ++a) {
        const bool home = want & bits[a];
        EXPECT_EQ(active[a], home ? 1 : 0) << set.name << " " << b << " axis " << a;
        EXPECT_EQ(mach[a], home ? 0 : before[a]) << set.name << " " << b << " axis " << a;
      }
    }
  }
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
