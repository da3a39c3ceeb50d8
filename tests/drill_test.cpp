// Drilling cycle: the approach, the sequence of Z depths and retracts, the
// modal drilling word, fractional and scaled pecks, the rise before the
// approach, and stops inside the cycle with their resume.
#include "core/interpreter/drill.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "core/interpreter/dispatch.h"
#include "core/interpreter/parser.h"
#include "core/interpreter/run_control.h"
#include "core/machine/messages.h"
#include "support/test_rig.h"

namespace brimo::test {
namespace {

struct Pos {
  double x, y, z;
};

// All scale factors 1, override 100, 0.01 length units per step, rapid 500;
// records the program position after every pulse.
struct Rig : TestRig {
  std::vector<Pos> path;
  std::function<void()> atPulse;  // extra action after recording
  Rig() {
    UniformAxes(0.01, 500);
    ms.Offline = true;
    ms.InProgramMove = true;  // as in a run: a stop fills the stop record
    win.onPump = [this](long) {
      path.push_back({ms.PrgX, ms.PrgY, ms.PrgZ});
      if (atPulse) atPulse();
    };
  }
  void StartAtZ(double z) { ms.PrgZ = ms.MachZ = ms.TargetZ = z; }
  void Line(const std::string& text) {
    ms.LineText = text;
    ReadLine(core);
    DispatchMotion(core);
  }
  // The heights where Z turned round, and the height it ended at.
  std::vector<double> ZStops(size_t from = 0) const {
    std::vector<double> out;
    double last = NAN;
    int dir = 0;
    for (size_t i = from; i < path.size(); ++i) {
      const double z = path[i].z;
      if (!std::isnan(last) && z != last) {
        const int d = z > last ? 1 : -1;
        if (dir != 0 && d != dir) out.push_back(last);
        dir = d;
      }
      last = z;
    }
    if (!std::isnan(last)) out.push_back(last);
    return out;
  }
};

void ExpectStops(const std::vector<double>& got, const std::vector<double>& want) {
  ASSERT_EQ(got.size(), want.size()) << "turning points";
  for (size_t i = 0; i < want.size(); ++i) EXPECT_NEAR(got[i], want[i], 1e-9) << "stop " << i;
}

TEST(DrillCycle, PecksGrowFromProgramZeroAndRetractToR) {
  Rig r;
  r.StartAtZ(10);
  r.Line("G81 X5 Y5 Z-3 R2 Q3 F300");
  ExpectStops(r.ZStops(), {-1, 2, -2, 2, -3, 2});
  EXPECT_DOUBLE_EQ(r.ms.TargetZ, 2);
  EXPECT_DOUBLE_EQ(r.ms.PecksLeft, 0);
  EXPECT_FALSE(r.ms.DrillCycleActive);
  // The approach is made at the starting height, X and Y first.
  for (const auto& p : r.path) {
    if (p.z != 10) {
      EXPECT_NEAR(p.x, 5, 1e-9);
      EXPECT_NEAR(p.y, 5, 1e-9);
      break;
    }
  }
  EXPECT_EQ(r.win.foreColour, kBrightGreen);  // traced like a rapid
  EXPECT_GE(r.win.positionShows, 6);          // read-outs after every peck move
}

TEST(DrillCycle, ApproachRunsAtTheFeedNotTheRapidRate) {
  Rig r;
  r.StartAtZ(10);
  double approachRate = 0;
  r.atPulse = [&] {
    if (approachRate == 0) approachRate = r.ms.StepRate;
  };
  r.Line("G81 X5 Y5 Z-3 R2 Q3 F120");
  EXPECT_DOUBLE_EQ(approachRate, 120 / 60.0 / 0.01);
}

TEST(DrillCycle, DrillingWordIsModal) {
  Rig r;
  r.StartAtZ(10);
  r.Line("G81 X5 Y5 Z-3 R2 Q3 F300");
  const size_t mark = r.path.size();
  r.Line("X10 Y10");
  EXPECT_NEAR(r.path[mark].z, 2, 1e-9);  // moves across at the retract height
  ExpectStops(r.ZStops(mark), {-1, 2, -2, 2, -3, 2});
  EXPECT_NEAR(r.ms.PrgX, 10, 1e-9);
  EXPECT_NEAR(r.ms.PrgY, 10, 1e-9);
}

TEST(DrillCycle, FractionalPecksAreClampedAtTheDepth) {
  Rig r;
  r.StartAtZ(5);
  r.Line("G81 X0 Y0 Z-3 R2 Q2.5 F300");
  // 3 / 2.5 = 1.2 per peck; the third would reach -3.6 and stops at -3.
  ExpectStops(r.ZStops(), {-1.2, 2, -2.4, 2, -3, 2});
  EXPECT_FALSE(r.ms.DrillCycleActive);  // ended with PecksLeft below 0
  EXPECT_LT(r.ms.PecksLeft, 0);
}

TEST(DrillCycle, DepthAndRetractAreScaledLikeEveryZValue) {
  Rig r;
  r.win.scale[3] = 2;
  r.StartAtZ(5);
  r.Line("G81 X0 Y0 Z-1 R1 Q2 F300");
  ExpectStops(r.ZStops(), {-1, 2, -2, 2});
}

TEST(DrillCycle, RisesToTheRetractHeightBeforeTheApproach) {
  Rig r;
  r.StartAtZ(-5);
  r.Line("G81 X5 Y5 Z-3 R2 Q1 F300");
  ExpectStops(r.ZStops(), {2, -3, 2});
  // X and Y stand still until Z is up at 2.
  for (const auto& p : r.path) {
    if (p.z < 2 - 1e-9) {
      EXPECT_DOUBLE_EQ(p.x, 0);
      EXPECT_DOUBLE_EQ(p.y, 0);
    } else {
      break;
    }
  }
  EXPECT_NEAR(r.ms.PrgX, 5, 1e-9);
}

TEST(DrillCycle, StopEndsThePeckLoopAtOnceAndResumeMakesTheRest) {
  Rig r;
  r.StartAtZ(10);
  bool stopped = false;
  r.atPulse = [&] {
    if (!stopped && r.ms.PrgZ < -1.5) {  // inside the second plunge
      stopped = true;
      r.ms.StopRequested = true;
    }
  };
  r.Line("G81 X5 Y5 Z-3 R2 Q3 F300");
  EXPECT_TRUE(r.ms.DrillCycleActive);
  EXPECT_NEAR(r.ms.PrgZ, -1.51, 1e-9);  // no retract or later plunge started
  EXPECT_DOUBLE_EQ(r.ms.PecksLeft, 1);
  EXPECT_DOUBLE_EQ(r.ms.TargetZ, -2);

  // "Execute Program" enters through the resume entry with the stop still set.
  const size_t mark = r.path.size();
  DrillCycle(r.core);
  EXPECT_FALSE(r.ms.StopRequested);
  ExpectStops(r.ZStops(mark), {-2, 2, -3, 2});
  EXPECT_FALSE(r.ms.DrillCycleActive);
}

TEST(DrillCycle, ResumeWithTheStopAlreadyClearedMakesTheSamePecks) {
  Rig r;
  r.StartAtZ(10);
  bool stopped = false;
  r.atPulse = [&] {
    if (!stopped && r.ms.PrgZ < -1.5) {
      stopped = true;
      r.ms.StopRequested = true;
    }
  };
  r.Line("G81 X5 Y5 Z-3 R2 Q3 F300");
  r.ms.StopRequested = false;  // the run control keeps its own record
  const size_t mark = r.path.size();
  ResumeDrillCycle(r.core);
  ExpectStops(r.ZStops(mark), {-2, 2, -3, 2});
  EXPECT_FALSE(r.ms.DrillCycleActive);

  const size_t after = r.path.size();
  ResumeDrillCycle(r.core);  // no cycle under way: nothing happens
  EXPECT_EQ(r.path.size(), after);
}

TEST(DrillCycle, AStopDuringTheResumeMoveAddsNoExtraPeck) {
  Rig r;
  r.StartAtZ(10);
  int stops = 0;
  r.atPulse = [&] {
    if ((stops == 0 && r.ms.PrgZ < -1.5) || (stops == 1 && r.ms.PrgZ < -1.8)) {
      ++stops;
      r.ms.StopRequested = true;
    }
  };
  r.Line("G81 X5 Y5 Z-3 R2 Q3 F300");
  DrillCycle(r.core);  // stopped again in the repeated plunge
  ASSERT_EQ(stops, 2);
  EXPECT_TRUE(r.ms.DrillCycleActive);
  const size_t mark = r.path.size();
  DrillCycle(r.core);
  ExpectStops(r.ZStops(mark), {-2, 2, -3, 2});
  EXPECT_FALSE(r.ms.DrillCycleActive);
}

TEST(DrillCycle, StopDuringTheApproachMakesNoExtraPeckOnResume) {
  Rig r;
  r.StartAtZ(10);
  r.atPulse = [&] {
    if (r.path.size() == 100) r.ms.StopRequested = true;
  };
  r.Line("G81 X5 Y5 Z-3 R2 Q3 F300");
  EXPECT_FALSE(r.ms.DrillCycleActive);  // the pecks had not begun
  EXPECT_DOUBLE_EQ(r.ms.PecksLeft, 3);
  EXPECT_DOUBLE_EQ(r.ms.PrgZ, 10);

  // The run resumes it like any cut move: the stop record's target, the
  // same motion word, dispatched again.
  r.ms.TargetX = r.ms.Stop.TargetX;
  r.ms.TargetY = r.ms.Stop.TargetY;
  r.ms.TargetZ = r.ms.Stop.TargetZ;
  r.ms.MotionWord = r.ms.Stop.MotionWord;
  r.ms.StopRequested = false;
  r.ms.ResumePending = true;
  const size_t mark = r.path.size();
  DispatchMotion(r.core);
  ExpectStops(r.ZStops(mark), {-1, 2, -2, 2, -3, 2});
  EXPECT_NEAR(r.ms.PrgX, 5, 1e-9);
  EXPECT_FALSE(r.ms.DrillCycleActive);
}

TEST(DrillCycle, StopDuringTheRiseKeepsTheLinesTargetForTheResume) {
  Rig r;
  r.StartAtZ(-5);
  r.atPulse = [&] {
    if (r.path.size() == 50) r.ms.StopRequested = true;
  };
  r.Line("G81 X5 Y6 Z-3 R2 Q1 F300");
  EXPECT_DOUBLE_EQ(r.ms.Stop.TargetX, 5);
  EXPECT_DOUBLE_EQ(r.ms.Stop.TargetY, 6);
  EXPECT_DOUBLE_EQ(r.ms.TargetX, 5);
  EXPECT_DOUBLE_EQ(r.ms.TargetY, 6);
  EXPECT_DOUBLE_EQ(r.ms.PrgX, 0);
}

// A drilling line whose R is not above its depth is refused whole: nothing
// moves, and the run names the line.
TEST(DrillCycle, RetractHeightNotAboveTheDepthIsRefused) {
  EXPECT_TRUE(DrillHeightsUsable(-5, 2));
  EXPECT_FALSE(DrillHeightsUsable(-5, -10));
  EXPECT_FALSE(DrillHeightsUsable(-3, -3));
  EXPECT_FALSE(DrillHeightsUsable(NAN, 2));
  struct Row {
    const char* first;  // a good line before, or ""
    const char* line;
  } rows[] = {
      {"", "G83 X5 Z-5 R-10 Q1 F300"},          // R below the hole bottom
      {"", "G81 X5 Z2 R-1 F300"},               // depth above R
      {"", "G81 X5 Z-3 R-3 F300"},              // R equal to the depth
      {"G81 X5 Y5 Z-3 R2 Q1 F300", "X10 R-4"},  // modal: the new R
      {"G81 X5 Y5 Z-3 R2 Q1 F300", "X10 Z4"},   // modal: the new depth
      {"G01 X1 F300", "G81 X5 Z1"},             // no R yet: R 0
  };
  for (const auto& row : rows) {
    Rig r;
    r.StartAtZ(10);
    if (*row.first) r.Line(row.first);
    ASSERT_FALSE(r.ms.LineBad) << row.first;
    const size_t mark = r.path.size();
    const MachineState before = r.ms;
    r.Line(row.line);
    EXPECT_TRUE(r.ms.LineBad) << row.line;
    EXPECT_NE(r.ms.LineBadReason.find(msg::kDrillRNotAbove), std::string::npos) << row.line;
    EXPECT_EQ(r.path.size(), mark) << row.line;  // nothing moved
    EXPECT_EQ(r.ms.MotionWord, before.MotionWord) << row.line;
    EXPECT_EQ(r.ms.RWord, before.RWord) << row.line;
  }

  TestRig run;
  run.UniformAxes(0.01, 500);
  run.ms.Offline = true;
  run.LoadProgram("G01 X1 F300\nG83 X2 Z-5 R-10 Q1\nX3\n");
  Execute(run.core);
  EXPECT_EQ(run.ms.CurrentLine, 2);
  EXPECT_NEAR(run.ms.PrgX, 1, 1e-9);
  EXPECT_NEAR(run.ms.PrgZ, 0, 1e-9);
  EXPECT_EQ(run.win.MessagesStartingWith("Line 2: G83 X2 Z-5 R-10 Q1\nR-10 Z-5"), 1);
}

// An R beyond the step range (2^31 steps from the line's start) is a typing
// error: the parser refuses the line whole, before any rise or approach.
TEST(DrillCycle, RetractHeightBeyondTheStepRangeIsRefusedBeforeAnythingMoves) {
  struct Row {
    const char* first;  // a good line before, or ""
    const char* line;
  } rows[] = {
      {"", "G81 X5 Y5 Z-1 R1e12 F300"},
      {"", "G83 X5 Y5 Z-1 R30000000 Q2 F300"},    // 3e9 steps of 0.01
      {"G81 X5 Y5 Z-3 R2 Q1 F300", "X10 R1e12"},  // modal drilling word
  };
  for (const auto& row : rows) {
    Rig r;
    if (*row.first) r.Line(row.first);
    ASSERT_FALSE(r.ms.LineBad) << row.first;
    const size_t mark = r.path.size();
    const Pos at{r.ms.PrgX, r.ms.PrgY, r.ms.PrgZ};
    r.Line(row.line);
    EXPECT_TRUE(r.ms.LineBad) << row.line;
    EXPECT_NE(r.ms.LineBadReason.find(msg::kTooManySteps), std::string::npos) << row.line;
    EXPECT_EQ(r.path.size(), mark) << row.line;  // nothing moved
    EXPECT_EQ(r.ms.PrgX, at.x) << row.line;
    EXPECT_EQ(r.ms.PrgZ, at.z) << row.line;
  }
}

// A tool a hair below R (where a rise of whole steps leaves it) makes no
// rise: a resumed approach keeps its own remaining steps and ends where the
// straight run ends (1.005 is 100.5 steps, the straight run makes 100).
TEST(DrillCycle, ApproachResumedAHairBelowREndsWhereTheStraightRunEnds) {
  for (long pauseAt : {0L, 1L, 33L, 99L}) {
    TestRig r;
    r.UniformAxes(0.01, 500);
    r.ms.Offline = true;
    r.ms.PrgZ = r.ms.MachZ = 1 - 1e-12;
    r.LoadProgram("G81 X1.005 Z-0.02 R1 Q1 F300\n");
    r.win.onPump = [&](long n) {
      if (n == pauseAt) Pause(r.core);
    };
    Execute(r.core);
    r.win.onPump = nullptr;
    if (pauseAt > 0) {
      ASSERT_TRUE(r.ms.StopRecordFilled()) << pauseAt;
      Execute(r.core);
    }
    EXPECT_EQ(r.win.MessagesStartingWith(msg::kDone), 1) << pauseAt;
    EXPECT_NEAR(r.ms.PrgX, 1, 1e-9) << pauseAt;
  }
}

TEST(DrillCycle, ZeroFeedDrillsNothing) {
  Rig r;
  r.StartAtZ(10);
  r.Line("G81 X5 Y5 Z-3 R2 Q3");
  EXPECT_TRUE(r.path.empty());
  EXPECT_TRUE(r.ms.StopRequested);
  EXPECT_FALSE(r.ms.DrillCycleActive);
  EXPECT_EQ(r.win.messages.size(), 1u);  // told once, not per peck
}

}  // namespace
}  // namespace brimo::test
