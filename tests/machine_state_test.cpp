// Pin masks, the pulse clock primitives and the port link.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "core/machine/pulse_clock.h"
#include "support/test_rig.h"

namespace brimo::test {
namespace {

TEST(PinMask, DataPinsMapToBitsAndEverythingElseDrivesNothing) {
  struct Row {
    const char* pin;
    int mask;
  } rows[] = {{"2", 1},   {"3", 2},   {"4", 4},  {"5", 8},  {"6", 16}, {"7", 32},
              {"8", 64},  {"9", 128}, {"1", 0},  {"10", 0}, {"", 0},   {"abc", 0},
              {"3.5", 0}, {" 5 ", 8}, {"-3", 0}, {"5x", 0}};
  for (const auto& r : rows) EXPECT_EQ(PinMask(std::string(r.pin)), r.mask) << r.pin;
  EXPECT_EQ(PinMask(9.0), 128);
  EXPECT_EQ(PinMask(std::nan("")), 0);
}

TEST(DeriveSettings, PulseWidthIsReadInMicrosecondsWithTheDefaultForAnUnusableText) {
  struct Row {
    const char* text;
    double us;
  } rows[] = {{"12", 12}, {" 2.5 ", 2.5}, {"0", 0}, {"", 5}, {"abc", 5}, {"-1", 5}};
  for (const Row& row : rows) {
    MachineState ms;
    ms.PulseWidth = row.text;
    DeriveSettings(ms, SettingsForm{}, "0");
    EXPECT_EQ(ms.PulseWidthUs, row.us) << row.text;
  }
}

TEST(PulseClock, InitCounterReadsCounterAndFrequency) {
  MachineState ms;
  VirtualClock clock(10'000'000);
  clock.Advance(1234);
  ASSERT_TRUE(InitCounter(ms, clock));
  EXPECT_EQ(ms.LastPulseTime, 1234);
  EXPECT_EQ(ms.NowTime, 1234);
  EXPECT_EQ(ms.CounterFrequency, 10'000'000);

  MachineState none;
  VirtualClock missing;
  missing.SetAvailable(false);
  EXPECT_FALSE(InitCounter(none, missing));
  EXPECT_EQ(none.CounterFrequency, 0);
}

TEST(PulseClock, IntervalIsFrequencyOverRateStretchedAfterDiagonal) {
  MachineState ms;
  VirtualClock clock(10'000'000);
  InitCounter(ms, clock);
  ms.StepRate = 1000;
  ms.DiagonalFactor = 1;
  WaitPulseInterval(ms, clock);
  EXPECT_EQ(clock.Now(), 10000);  // 10 MHz / 1000 steps/s

  ms.LastPulseTime = clock.Now();
  ms.DiagonalFactor = 0.707;
  WaitPulseInterval(ms, clock);
  EXPECT_EQ(clock.Now() - ms.LastPulseTime, 14145);  // ceil(10000 / 0.707 = 14144.27)
}

TEST(PulseClock, VirtualClockStopsAtTheEndOfItsCounterInsteadOfOverflowing) {
  VirtualClock clock(1'000'000'000);
  clock.Approach(1e30);  // far past 2^63 ticks
  EXPECT_EQ(clock.Now(), std::numeric_limits<int64_t>::max());
  MachineState ms;
  InitCounter(ms, clock);
  ms.StepRate = 1e-30;
  ms.DiagonalFactor = 1;
  EXPECT_TRUE(WaitPulseInterval(ms, clock));  // returns: the counter cannot go further
}

TEST(PulseClock, ZeroFrequencyReturnsAtOnceAndOverdueWaitDoesNotReadAgain) {
  MachineState ms;
  VirtualClock clock(10'000'000);
  ms.CounterFrequency = 0;
  ms.StepRate = 1000;
  ms.DiagonalFactor = 1;
  WaitPulseInterval(ms, clock);
  EXPECT_EQ(clock.Now(), 0);

  // Within a motion the first test uses the NowTime of the previous wait: an
  // overdue pulse returns without touching the clock.
  ms.CounterFrequency = 10'000'000;
  ms.LastPulseTime = 0;
  ms.Schedule.restart = false;
  ms.Schedule.due = 0;
  ms.NowTime = 50000;
  WaitPulseInterval(ms, clock);
  EXPECT_EQ(clock.Now(), 0);
}

TEST(PulseClock, WritePulseLeavesDirectionBitsOnThePort) {
  MachineState ms;
  VirtualClock clock;
  SimulatedPort port(&clock);
  clock.Advance(77);
  WritePulse(ms, clock, port, 3, 1);
  ASSERT_EQ(port.Writes().size(), 2u);
  EXPECT_EQ(port.Writes()[0].value, 3);
  EXPECT_EQ(port.Writes()[1].value, 1);
  EXPECT_EQ(port.DataRegister(), 1);
  EXPECT_EQ(ms.LastPulseTime, 77);
}

TEST(PortLink, FailedOpenIsTriedOnceUntilReset) {
  int opens = 0;
  PortLink link([&](std::string& why) -> std::unique_ptr<Port> {
    ++opens;
    why = "no port here";
    return nullptr;
  });
  std::string why;
  EXPECT_EQ(link.Acquire(why), nullptr);
  EXPECT_EQ(why, "no port here");
  EXPECT_EQ(link.Acquire(why), nullptr);
  EXPECT_EQ(opens, 1);
  link.Reset();
  link.Acquire(why);
  EXPECT_EQ(opens, 2);
}

// The pulse path asks Ready() first: the port once it is open (or the fixed
// one), null before, and never a new attempt or a text of its own.
TEST(PortLink, ReadyGivesTheOpenPortWithoutOpening) {
  SimulatedPort fixedPort;
  PortLink fixed(&fixedPort);
  EXPECT_EQ(fixed.Ready(), &fixedPort);

  int opens = 0;
  bool fail = true;
  PortLink lazy([&](std::string& why) -> std::unique_ptr<Port> {
    ++opens;
    if (fail) return why = "no port here", nullptr;
    return std::make_unique<SimulatedPort>();
  });
  EXPECT_EQ(lazy.Ready(), nullptr);
  EXPECT_EQ(opens, 0);
  std::string why;
  EXPECT_EQ(lazy.Acquire(why), nullptr);
  EXPECT_EQ(lazy.Ready(), nullptr);
  lazy.Reset();
  fail = false;
  Port* opened = lazy.Acquire(why);
  ASSERT_NE(opened, nullptr);
  EXPECT_EQ(lazy.Ready(), opened);
  lazy.Reset();  // an open port stays open
  EXPECT_EQ(lazy.Ready(), opened);
  EXPECT_EQ(opens, 2);
}

}  // namespace
}  // namespace brimo::test
