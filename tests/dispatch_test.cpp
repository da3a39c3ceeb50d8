// Motion dispatch: straight-move set-up (steps, reference axis, rounding),
// feed and step rate (rapid, cap, override), the tool change, and the mends
// for rapids, zero rates, per-axis Fast rates, oversized moves and modes
// that repeat only when a line asks for them.
#include "core/interpreter/dispatch.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <string>
#include <string_view>
#include <vector>

#include "core/interpreter/interpret.h"
#include "core/interpreter/parser.h"
#include "core/machine/messages.h"
#include "core/machine/move_sink.h"
#include "support/test_rig.h"

namespace brimo::test {
namespace {

// All scale factors 1, override 100, 0.01 length units per step, rapid 500.
struct Rig : TestRig {
  Rig() {
    UniformAxes(0.01, 500);
    ms.Offline = true;
  }
  void Line(const std::string& text) {
    ms.LineText = text;
    ReadLine(core);
    DispatchMotion(core);
  }
};

// ---- Straight moves ---------------------------------------------------------

TEST(StartLinearMove, FeedMoveSetUp) {
  Rig r;
  r.Line("G01 X1 F120");
  EXPECT_DOUBLE_EQ(r.ms.DeltaStepsX, 100);
  EXPECT_DOUBLE_EQ(r.ms.MoveSteps, 100);
  EXPECT_EQ(r.ms.RefAxis, 1);
  EXPECT_DOUBLE_EQ(r.ms.FeedNow, 120);
  EXPECT_DOUBLE_EQ(r.ms.StepRate, 200);
  EXPECT_EQ(r.win.feedText, "120");
  EXPECT_NEAR(r.ms.PrgX, 1, 1e-9);
  EXPECT_NEAR(r.ms.MachX, 1, 1e-9);
  EXPECT_DOUBLE_EQ(r.ms.StepsLeftX, 0);
}

TEST(StartLinearMove, StepCountsRoundHalvesToTheEvenNeighbour) {
  const struct {
    double dist, steps;
  } cases[] = {{0.05, 2},   {0.03, 2},  {0.01, 0},  {0.07, 4}, {-0.05, -2},
               {-0.03, -2}, {0.049, 2}, {0.051, 3}, {0, 0}};
  for (const auto& c : cases) {
    Rig r;
    r.ms.UnitsPerStepX = 0.02;
    r.ms.ProgramFeed = 100;
    r.ms.TargetX = c.dist;
    StartLinearMove(r.core);
    EXPECT_DOUBLE_EQ(r.ms.DeltaStepsX, c.steps) << c.dist;
    EXPECT_NEAR(r.ms.PrgX, c.steps * 0.02, 1e-12) << c.dist;
  }
}

TEST(StartLinearMove, DecimalHalvesRoundToEvenDespiteBinaryNoise) {
  // Each distance is a whole number and a half of steps as written, but the
  // binary quotient lands a hair off the half (0.47 / 0.02 = 23.499999999999996).
  const struct {
    double unitsPerStep, dist, steps;
  } cases[] = {{0.02, 0.47, 24},     {0.02, 1.15, 58},     {0.01, 0.235, 24},
               {0.0075, 0.03375, 4}, {0.0075, 0.04875, 6}, {0.0075, -0.03375, -4}};
  for (const auto& c : cases) {
    Rig r;
    r.ms.UnitsPerStepX = c.unitsPerStep;
    r.ms.ProgramFeed = 100;
    r.ms.TargetX = c.dist;
    StartLinearMove(r.core);
    EXPECT_DOUBLE_EQ(r.ms.DeltaStepsX, c.steps) << c.dist;
  }
}

TEST(StartLinearMove, ReferenceAxisTiesGoXThenYThenZ) {
  const struct {
    const char* line;
    int axis;
  } cases[] = {{"G01 X10 Z-1 F100", 1}, {"G01 Y1 Z-1 F100", 2},   {"G01 Z-1 F100", 3},
               {"G01 X1 Y-1 F100", 1},  {"G01 X1 Y1 Z1 F100", 1}, {"G01 Y-2 Z1 F100", 2}};
  for (const auto& c : cases) {
    Rig r;
    r.Line(c.line);
    EXPECT_EQ(r.ms.RefAxis, c.axis) << c.line;
  }
}

TEST(StartLinearMove, MoveToTheCurrentPositionEmitsNothing) {
  TestRig r;  // online, simulated port
  r.UniformAxes(0.01, 500);
  r.ms.ProgramFeed = 100;
  r.ms.PrgX = r.ms.TargetX = 2;
  StartLinearMove(r.core);
  EXPECT_TRUE(r.port.Writes().empty());
  EXPECT_EQ(r.win.pumps, 0);
  EXPECT_TRUE(r.win.messages.empty());
}

TEST(StartLinearMove, DiagonalMoveEndsExactlyOnItsStepCounts) {
  Rig r;
  r.Line("G01 X1.23 Y-0.77 Z0.4 F300");
  EXPECT_NEAR(r.ms.PrgX, 1.23, 1e-9);
  EXPECT_NEAR(r.ms.PrgY, -0.77, 1e-9);
  EXPECT_NEAR(r.ms.PrgZ, 0.4, 1e-9);
  EXPECT_DOUBLE_EQ(r.ms.MoveSteps, 123);
}

// ---- Feed and step rate --------------------------------------------------------

TEST(SetFeed, FeedIsCappedAtTheRapidRate) {
  Rig r;
  r.Line("G01 X1 F900");
  EXPECT_DOUBLE_EQ(r.ms.FeedNow, 500);
  EXPECT_DOUBLE_EQ(r.ms.StepRate, 500 / 60.0 / 0.01);
}

TEST(SetFeed, RapidsRunAtTheRapidRateLongAndShortWord) {
  for (const char* word : {"G00", "G0"}) {
    Rig r;
    r.Line("G01 F120");
    r.Line(std::string(word) + " X2");
    EXPECT_DOUBLE_EQ(r.ms.FeedNow, 500) << word;
    EXPECT_NEAR(r.ms.PrgX, 2, 1e-9) << word;
  }
}

TEST(SetFeed, RapidBeforeAnyFeedWordStillMoves) {
  Rig r;
  r.Line("G0 X1");
  EXPECT_NEAR(r.ms.PrgX, 1, 1e-9);
  EXPECT_TRUE(r.win.messages.empty());
}

TEST(SetFeed, OverrideIsReadAtEveryCall) {
  Rig r;
  r.win.overridePercent = 200;
  r.Line("G01 X1 F100");
  EXPECT_DOUBLE_EQ(r.ms.FeedNow, 200);
  r.win.overridePercent = 50;
  SetFeed(r.core);
  EXPECT_DOUBLE_EQ(r.ms.FeedNow, 50);
  EXPECT_EQ(r.win.feedText, "50");
  EXPECT_DOUBLE_EQ(r.ms.StepRate, 50 / 60.0 / 0.01);
}

TEST(SetFeed, OverrideChangeDuringAMoveTakesEffectAtTheNextPulse) {
  Rig r;
  double rateAfter = 0;
  r.win.onPump = [&](long pump) {
    if (pump == 10) {
      r.win.overridePercent = 50;
      SetFeed(r.core);
    }
    if (pump == 11) rateAfter = r.ms.StepRate;
  };
  r.Line("G01 X1 F120");
  EXPECT_DOUBLE_EQ(rateAfter, 100);
}

TEST(SetFeed, ArcMovesPaceByTheFinerAxis) {
  Rig r;
  r.ms.UnitsPerStepY = 0.005;
  r.ms.FinestStepXY = 0.005;
  r.ms.FinestAxis = 2;
  r.ms.ArcMove = true;
  r.ms.RefAxis = 1;
  r.ms.ProgramFeed = 60;
  SetFeed(r.core);
  EXPECT_EQ(r.ms.RefAxis, 2);
  EXPECT_DOUBLE_EQ(r.ms.StepRate, 200);
}

TEST(SetFeed, BeforeTheFirstMoveTheStepRateIsKept) {
  Rig r;
  r.ms.RefAxis = 0;
  r.ms.StepRate = 123;
  r.ms.ProgramFeed = 100;
  SetFeed(r.core);
  EXPECT_DOUBLE_EQ(r.ms.StepRate, 123);
  EXPECT_DOUBLE_EQ(r.ms.FeedNow, 100);
}

// ---- Dispatch -------------------------------------------------------------------

TEST(DispatchMotion, RapidsAreTracedGreenFeedMovesKeepTheColour) {
  Rig r;
  r.Line("G00 X1");
  EXPECT_EQ(r.win.foreColour, kBrightGreen);
  r.win.foreColour = kBlack;
  r.Line("G01 X2 F100");
  EXPECT_EQ(r.win.foreColour, kBlack);
  r.Line("G1 X3");
  EXPECT_EQ(r.win.foreColour, kBlack);
  EXPECT_NEAR(r.ms.PrgX, 3, 1e-9);
  EXPECT_FALSE(r.ms.ArcMove);
}

TEST(DispatchMotion, UnknownMotionWordMovesNothing) {
  for (const char* line : {"G90 G01 X5", "G21 X5", "G17 X5"}) {
    Rig r;
    r.Line("G01 F100");
    r.Line(line);
    EXPECT_EQ(r.win.pumps, 0) << line;
    EXPECT_DOUBLE_EQ(r.ms.PrgX, 0) << line;
    r.Line("X7");  // and nothing until the next motion word
    EXPECT_DOUBLE_EQ(r.ms.PrgX, 0) << line;
  }
}

// ---- Tool change ------------------------------------------------------------------

TEST(ToolChange, MessageWithTheToolTextThenStepModeNoMotion) {
  Rig r;
  r.Line("M6 T4");
  ASSERT_EQ(r.win.messages.size(), 1u);
  EXPECT_EQ(r.win.messages[0].text, "Change to tool #4");
  EXPECT_EQ(r.win.messages[0].title, "BrimoCNC");
  EXPECT_TRUE(r.ms.StepMode);
  EXPECT_EQ(r.win.pumps, 0);
}

TEST(ToolChange, HappensWhereTheToolStandsBeforeTheLinesMove) {
  Rig r;
  r.Line("G01 F100");
  double xAtMessage = -1;
  bool stepModeAtMessage = false;
  r.win.onMessage = [&](const std::string&) {
    xAtMessage = r.ms.PrgX;
    stepModeAtMessage = r.ms.StepMode;
  };
  r.Line("G01 X1 M6 T3");
  EXPECT_DOUBLE_EQ(xAtMessage, 0);
  EXPECT_TRUE(stepModeAtMessage);  // step mode is set first
  EXPECT_NEAR(r.ms.PrgX, 1, 1e-9);
}

// ---- Mend: a rate that cannot pace does not start ------------------------------

TEST(StepRateMend, ZeroFeedBeforeAnyFWordDoesNotStart) {
  TestRig r;  // online: nothing may reach the port
  r.UniformAxes(0.01, 500);
  r.ms.LineText = "G01 X1";
  ReadLine(r.core);
  DispatchMotion(r.core);
  EXPECT_TRUE(r.port.Writes().empty());
  EXPECT_DOUBLE_EQ(r.ms.PrgX, 0);
  EXPECT_TRUE(r.ms.StopRequested);
  EXPECT_EQ(r.win.MessagesStartingWith(msg::kBadRate), 1);
}

TEST(StepRateMend, ZeroOverrideDoesNotStart) {
  Rig r;
  r.win.overridePercent = 0;
  r.Line("G01 X1 F100");
  EXPECT_DOUBLE_EQ(r.ms.PrgX, 0);
  EXPECT_TRUE(r.ms.StopRequested);
  EXPECT_EQ(r.win.messages.size(), 1u);
}

TEST(StepRateMend, ANullMoveWithZeroFeedSaysNothing) {
  Rig r;
  r.Line("G01 X0");
  EXPECT_TRUE(r.win.messages.empty());
  EXPECT_FALSE(r.ms.StopRequested);
}

// ---- Mend: each axis within its own Fast rate -------------------------------------

TEST(AxisRateMend, DiagonalRapidWithASlowZIsPacedForZ) {
  Rig r;
  r.ms.FastRateZ = 50;
  r.Line("G00 X10 Z-10");
  EXPECT_EQ(r.ms.RefAxis, 1);
  EXPECT_DOUBLE_EQ(r.ms.FeedNow, 500);
  EXPECT_NEAR(r.ms.StepRate, 50 / 60.0 / 0.01, 1e-9);  // Z steps every iteration
  EXPECT_NEAR(r.ms.PrgZ, -10, 1e-9);
}

TEST(AxisRateMend, PartialZShareAllowsAProportionallyFasterRate) {
  Rig r;
  r.ms.FastRateZ = 50;
  r.Line("G00 X10 Z-2");  // Z steps in 200 of 1000 iterations
  EXPECT_NEAR(r.ms.StepRate, 50 / 60.0 / 0.01 * 1000 / 200, 1e-9);
}

TEST(AxisRateMend, EqualFastRatesChangeNothing) {
  const char* lines[] = {"G00 X10 Z-10", "G00 X3 Y7 Z-1", "G01 X1 Y1 F900", "G01 Z5 X-1 F300"};
  for (const char* line : lines) {
    Rig r;
    r.Line(line);
    double fast = 500, feed = std::min(r.ms.FeedNow, fast);
    EXPECT_DOUBLE_EQ(r.ms.StepRate, feed / 60 / 0.01) << line;
  }
}

TEST(AxisRateMend, OverrideDuringTheMoveKeepsTheCap) {
  Rig r;
  r.ms.FastRateZ = 50;
  double rate = 0;
  r.win.onPump = [&](long pump) {
    if (pump == 5) {
      r.win.overridePercent = 400;
      SetFeed(r.core);
      rate = r.ms.StepRate;
    }
  };
  r.Line("G01 X10 Z-10 F100");
  EXPECT_NEAR(rate, 50 / 60.0 / 0.01, 1e-9);
}

TEST(AxisRateMend, ClosingMoveOfAnArcKeepsZWithinItsRate) {
  Rig r;
  r.ms.FastRateZ = 50;
  double zRate = 0;
  double lastZ = 0;
  r.win.onPump = [&](long) {
    if (r.ms.PrgZ != lastZ) zRate = std::max(zRate, r.ms.StepRate);
    lastZ = r.ms.PrgZ;
  };
  r.Line("G02 X10 Y0 Z-3 I5 J0 F400");
  EXPECT_NEAR(r.ms.PrgZ, -3, 1e-9);
  EXPECT_GT(zRate, 0);
  EXPECT_LE(zRate, 50 / 60.0 / 0.01 + 1e-9);
}

// ---- Mend: oversized moves are refused ---------------------------------------------

TEST(MoveSizeMend, MoreThan2To31StepsOnAnAxisIsRefused) {
  TestRig r;
  r.UniformAxes(0.01, 500);
  r.ms.ProgramFeed = 100;
  r.ms.TargetY = 3e7;  // 3e9 steps, set past the parser (e.g. by a homing target)
  StartLinearMove(r.core);
  EXPECT_TRUE(r.port.Writes().empty());
  EXPECT_TRUE(r.ms.StopRequested);
  EXPECT_EQ(r.win.MessagesStartingWith(msg::kMoveTooLong), 1);
  EXPECT_DOUBLE_EQ(r.ms.StepsLeftY, 0);
}

TEST(MoveSizeMend, TargetThatIsNotFiniteIsRefused) {
  for (double t : {std::numeric_limits<double>::infinity(), std::nan("")}) {
    Rig r;
    r.ms.ProgramFeed = 100;
    r.ms.TargetX = t;
    StartLinearMove(r.core);
    EXPECT_EQ(r.win.pumps, 0);
    EXPECT_EQ(r.win.MessagesStartingWith(msg::kMoveTooLong), 1);
  }
}

TEST(MoveSizeMend, JustBelowTheLimitIsSetUp) {
  Rig r;
  r.ms.ProgramFeed = 100;
  r.ms.TargetX = 2e7;  // 2e9 steps: accepted (the test stops it at once)
  r.win.onPump = [&](long) { r.ms.StopRequested = true; };
  StartLinearMove(r.core);
  EXPECT_DOUBLE_EQ(r.ms.DeltaStepsX, 2e9);
  EXPECT_EQ(r.win.pumps, 1);
  EXPECT_TRUE(r.win.messages.empty());
}

// ---- Mend: bad lines move nothing ---------------------------------------------------

TEST(BadLineMend, NothingMovesForALineMarkedBad) {
  Rig r;
  r.Line("G01 X1 F100");
  r.Line("X1E999");
  EXPECT_TRUE(r.ms.LineBad);
  EXPECT_NEAR(r.ms.PrgX, 1, 1e-9);
  EXPECT_DOUBLE_EQ(r.ms.TargetX, 1);
  // Even a line whose own target is sane: nothing of it is taken or made.
  const long pumps = r.win.pumps;
  r.Line("G00 X5 Y1E999");
  EXPECT_EQ(r.win.pumps, pumps);
}

// ---- Mend: arc and drilling modes repeat only when asked -----------------------------

TEST(RepeatMend, ArcModeMakesNoArcWithoutCoordinateOrCentreWords) {
  for (const char* line : {"(comment)", "", "M3", "F200", "G02", "T1"}) {
    Rig r;
    r.Line("G02 X10 Y0 I5 J0 F300");
    ASSERT_NEAR(r.ms.PrgX, 10, 1e-9);
    const long pumps = r.win.pumps;
    r.Line(line);
    EXPECT_EQ(r.win.pumps, pumps) << '"' << line << '"';
    EXPECT_NEAR(r.ms.PrgX, 10, 1e-9) << line;
  }
}

TEST(RepeatMend, ArcLineBackToItsStartIsAFullCircle) {
  Rig r;
  r.Line("G02 X0 Y0 I5 J0 F300");
  EXPECT_GT(r.win.pumps, 3000);  // 2 pi * 5 / 0.01 iterations
  EXPECT_NEAR(r.ms.PrgX, 0, 1e-9);
}

TEST(RepeatMend, ArcModeRepeatsForALineWithNewWords) {
  for (const char* line : {"X0 Y0", "Z-1", "I-5", "J1"}) {
    Rig r;
    r.Line("G02 X10 Y0 I5 J0 F300");
    const long pumps = r.win.pumps;
    r.Line(line);
    EXPECT_GT(r.win.pumps, pumps) << line;
  }
}

TEST(RepeatMend, DrillingModeDrillsOnlyWhenAsked) {
  for (const char* line : {"(comment)", "M3", "F100", ""}) {
    Rig r;
    r.Line("G81 X1 Y1 Z-1 R1 Q1 F300");
    ASSERT_NEAR(r.ms.PrgZ, 1, 1e-9);
    const long pumps = r.win.pumps;
    r.Line(line);
    EXPECT_EQ(r.win.pumps, pumps) << '"' << line << '"';
  }
  for (const char* line : {"X2 Y2", "Z-2", "R2", "Q2"}) {
    Rig r;
    r.Line("G81 X1 Y1 Z-1 R1 Q1 F300");
    const long pumps = r.win.pumps;
    r.Line(line);
    EXPECT_GT(r.win.pumps, pumps) << line;
  }
}

TEST(RepeatMend, RequestTestsFollowTheWordsCarried) {
  MachineState ms;
  EXPECT_FALSE(ArcRequested(ms));
  EXPECT_FALSE(DrillRequested(ms));
  ms.LineWords.I = true;
  EXPECT_TRUE(ArcRequested(ms));
  EXPECT_FALSE(DrillRequested(ms));
  ms.LineWords = {};
  ms.LineWords.R = true;
  EXPECT_FALSE(ArcRequested(ms));
  EXPECT_TRUE(DrillRequested(ms));
  ms.LineWords.X = true;
  EXPECT_TRUE(ArcRequested(ms));
  ms.LineBad = true;
  EXPECT_FALSE(ArcRequested(ms) || DrillRequested(ms));
}

TEST(RepeatMend, AResumedArcIsMadeWhateverWasParsedSince) {
  Rig r;
  r.win.onPump = [&](long pump) {
    if (pump == 100) r.ms.StopRequested = true;
  };
  r.Line("G02 X10 Y0 I5 J0 F300");
  ASSERT_TRUE(r.ms.StopRequested);
  r.win.onPump = nullptr;
  r.ms.LineWords = {};  // a pass that carried nothing (or a redraw) since
  r.ms.StopRequested = false;
  r.ms.ResumePending = true;
  DispatchMotion(r.core);
  EXPECT_NEAR(r.ms.PrgX, 10, 0.005 + 1e-9);
  EXPECT_NEAR(r.ms.PrgY, 0, 0.005 + 1e-9);
}

// ---- Pulse interval limit -----------------------------------------------------

// A feed so slow that a step would take more than 60 s is refused when the
// move is set up, online on the virtual clock (no wait) and offline alike.
TEST(SlowFeedMend, AMoveWhosePulsesWouldBeMoreThanAMinuteApartIsRefused) {
  struct Row {
    const char* line;
    const char* feedShown;  // the feed the message names
    double scaleF = 1, fastX = 500;
  } rows[] = {
      {"G01 X1 F1e-12", "1e-12"},          {"G01 X1 F100", "1e-13", 1e-15},  // scale factor of F
      {"G00 X1", "1e-15", 1, 1e-15},                                         // Fast rate of X
      {"G01 X1 F0.0099", "0.0099"},  // 60.6 s per step at 0.01 per step
      {"G02 X2 Y0 I1 J0 F1e-12", "1e-12"}, {"G81 X1 Y1 Z-1 R1 F1e-12", "1e-12"},
  };
  for (bool offline : {false, true}) {
    for (const Row& row : rows) {
      Rig r;
      r.ms.Offline = offline;
      r.win.scale[0] = row.scaleF;
      r.ms.FastRateX = row.fastX;
      r.Line(row.line);
      EXPECT_TRUE(r.ms.StopRequested) << row.line;
      EXPECT_EQ(r.ms.PrgX, 0) << row.line;
      EXPECT_EQ(r.ms.PrgZ, 0) << row.line;
      EXPECT_EQ(r.clock.Now(), 0) << row.line;
      EXPECT_TRUE(r.port.Writes().empty()) << row.line;
      ASSERT_EQ(r.win.messages.size(), 1u) << row.line;
      EXPECT_EQ(r.win.messages[0].title, msg::kSlowFeedTitle) << row.line;
      EXPECT_NE(r.win.messages[0].text.find(std::string("feed ") + row.feedShown + " "),
                std::string::npos)
          << r.win.messages[0].text;
    }
  }
}

TEST(SlowFeedMend, AMinuteBetweenPulsesIsStillMade) {
  Rig r;
  r.ms.Offline = false;
  r.Line("G01 X0.02 F0.0101");  // 59.4 s per step
  EXPECT_TRUE(r.win.messages.empty());
  EXPECT_NEAR(r.ms.PrgX, 0.02, 1e-12);
  EXPECT_NEAR(static_cast<double>(r.ms.LastPulseTime), 2 * 0.01 / (0.0101 / 60) * 1e7, 2);
}

// During a move an override that would space the pulses more than 60 s
// apart is refused: the move goes on at the old rate.
TEST(SlowFeedMend, AnOverrideChangeThatSlowsPulsesBeyondAMinuteIsRefused) {
  Rig r;
  r.ms.Offline = false;
  r.ms.Running = true;  // as during a run
  bool accepted = true;
  double rateAfter = 0;
  r.win.onPump = [&](long) {
    if (r.ms.StepsLeftX == 3 && accepted) {
      r.win.overridePercent = 2;  // 0.4 * 2 % / 60 / 0.01: 75 s per step
      accepted = OverrideFeed(r.core);
      r.win.overridePercent = 100;  // the control puts its value back
      rateAfter = r.ms.StepRate;
    }
  };
  r.Line("G01 X0.05 F0.4");
  EXPECT_FALSE(accepted);
  EXPECT_DOUBLE_EQ(rateAfter, 0.4 / 60 / 0.01);
  EXPECT_DOUBLE_EQ(r.ms.FeedNow, 0.4);
  EXPECT_EQ(r.win.feedText, "0.4");
  // Told in the message line with a beep: a modal box would hold the tool in the cut.
  EXPECT_TRUE(r.win.messages.empty());
  ASSERT_EQ(r.win.statusLines.size(), 1u);
  EXPECT_EQ(r.win.statusLines[0].rfind(msg::kSlowOverride, 0), 0u);
  EXPECT_EQ(r.win.beeps, 1);
  EXPECT_NEAR(r.ms.PrgX, 0.05, 1e-12);
  EXPECT_FALSE(r.ms.StopRequested);
  // A change within the limit is taken as before.
  r.win.overridePercent = 50;
  EXPECT_TRUE(OverrideFeed(r.core));
  EXPECT_DOUBLE_EQ(r.ms.FeedNow, 0.2);
}

}  // namespace
}  // namespace brimo::test

namespace brimo::test {
namespace {

// ---- The interpreting step's output: one call per move on a sink ------------------

// Writes each call as a line of text, so a table can say what a program makes.
class RecordingSink : public MoveSink {
 public:
  std::vector<std::string> calls;
  void Rapid(const StraightCall& m) override { Straight("rapid", m); }
  void Feed(const StraightCall& m) override { Straight("feed", m); }
  ArcOffsets Arc(const ArcCall& a) override {
    calls.push_back(std::string(a.clockwise ? "arc cw" : "arc ccw") + (a.longWord ? " long" : "") +
                    " from " + Xy(a.startX, a.startY) + " to " + Xy(a.x, a.y) + " Z" +
                    NumberText(a.z) + " centre " + Xy(a.startX + a.i, a.startY + a.j) + " F" +
                    NumberText(a.feed));
    return StartOffsetOf(a.i, a.j);
  }
  void Drill(const DrillCall& d) override {
    // The words as written, blanks included, in quotes.
    calls.push_back("drill from " + Xy(d.startX, d.startY) + " to " + Xy(d.x, d.y) + " Z'" +
                    std::string(d.zWord) + "' R'" + std::string(d.rWord) + "' Q'" +
                    std::string(d.qWord) + "' pecks " + NumberText(d.pecks) + " F" +
                    NumberText(d.feed));
  }
  void ToolChange(std::string_view t) override { calls.push_back("tool '" + std::string(t) + "'"); }

 private:
  static std::string Xy(double x, double y) { return NumberText(x) + "," + NumberText(y); }
  void Straight(const char* kind, const StraightCall& m) {
    calls.push_back(std::string(kind) + " from " + Xy(m.startX, m.startY) + " to " + Xy(m.x, m.y) +
                    " Z" + NumberText(m.z) + " F" + NumberText(m.feed));
  }
};

TEST(MoveSinkCalls, EachMoveKindMakesItsCall) {
  const struct {
    const char* name;
    const char* program;  // lines; the calls of the last one are compared
    std::vector<std::string> calls;
  } rows[] = {
      {"Rapid", "G00 X10 Y5 Z2", {"rapid from 0,0 to 10,5 Z2 F0"}},
      {"Feed", "G01 X1 F100\nX3 Y4", {"feed from 1,0 to 3,4 Z0 F100"}},
      {"ArcClockwise",
       "G01 X10 F100\nG02 X0 Y0 I-5 J0",
       {"arc cw long from 10,0 to 0,0 Z0 centre 5,0 F100"}},
      {"ArcCounterClockwiseShortWord",
       "G3 X10 Y0 I5 J0 Z-1",
       {"arc ccw from 0,0 to 10,0 Z-1 centre 5,0 F0"}},
      {"ArcKeepsItsStartOffset",
       "G02 X10 Y0 I5 J0\nG02 X20 Y0",
       {"arc cw long from 10,0 to 20,0 Z0 centre 5,-5 F0"}},
      {"ArcOnlyWhenAsked", "G02 X10 Y0 I5 J0\nF100", {}},
      {"Drill",
       "G81 X5 Y5 Z-3 R2 Q3 F300",
       {"drill from 0,0 to 5,5 Z'-3 ' R'2 ' Q'3 ' pecks 3 F300"}},
      {"ModalHole",
       "G83 X5 Y5 Z-3 R2 F300\nX7",
       {"drill from 5,5 to 7,5 Z'-3 ' R'2 ' Q'1' pecks 1 F300"}},
      {"ToolChangeBeforeTheMove",
       "G01 F100\nM6 T2 X4",
       {"tool '2 '", "feed from 0,0 to 4,0 Z0 F100"}},
      {"BadLineMakesNothing", "G01 F100\nM6 T2 X1E999", {}},
      {"OtherMotionWordMakesNothing", "G21 X5", {}},
  };
  DerivedSettings steps;
  steps.UnitsPerStepX = steps.UnitsPerStepY = steps.UnitsPerStepZ = 0.01;
  for (const auto& row : rows) {
    Registers regs;
    RecordingSink sink;
    std::string_view rest = row.program;
    while (!rest.empty()) {
      const size_t end = std::min(rest.find('\n'), rest.size());
      sink.calls.clear();
      EmitLine(regs, ParseLine(rest.substr(0, end), ScaleValues{}, steps, regs), sink);
      rest.remove_prefix(std::min(end + 1, rest.size()));
    }
    EXPECT_EQ(sink.calls, row.calls) << row.name;
  }
}

}  // namespace
}  // namespace brimo::test
