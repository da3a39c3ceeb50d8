// Drawing the whole program: segments, extents, and what a redraw must leave
// alone; the position read-outs.
#include "core/plot/toolpath.h"

#include <gtest/gtest.h>

#include <cmath>
#include <locale>
#include <numbers>
#include <string>
#include <vector>

#include "core/interpreter/dispatch.h"
#include "core/interpreter/draw_program.h"
#include "core/interpreter/parser.h"
#include "core/machine/messages.h"
#include "core/plot/plot_geometry.h"
#include "support/test_rig.h"

namespace brimo {
namespace {

using test::FakeWindow;
constexpr double kPi = std::numbers::pi;
constexpr Rgb kBlue{0, 0, 255};  // fore colour of these tests: tells feed lines from the axes

// The program's own segments: everything but the grey grid and black axes.
std::vector<FakeWindow::Line> ProgramLines(const FakeWindow& w) {
  std::vector<FakeWindow::Line> out;
  for (const auto& l : w.lines)
    if (!(l.colour == kLightGrey) && !(l.colour == kBlack)) out.push_back(l);
  return out;
}

// Point of the circle halfway along the arc the window draws (counter-
// clockwise from a0 to a1).
void ArcMidpoint(const FakeWindow::Arc& a, double& x, double& y) {
  double sweep = a.a1 - a.a0;
  if (sweep < 0) sweep += 2 * kPi;
  const double mid = a.a0 + sweep / 2;
  x = a.cx + a.r * std::cos(mid);
  y = a.cy + a.r * std::sin(mid);
}

class DrawProgramTest : public ::testing::Test {
 protected:
  DrawProgramTest() { rig.win.foreColour = kBlue; }
  void Draw(const std::string& program, bool refit = true) {
    rig.LoadProgram(program);
    rig.plot.RefitExtents = refit;
    DrawProgram(rig.core);
  }
  test::TestRig rig;
};

const char* kExample = "G00 X10 Y0\nG01 X10 Y10\nG02 X0 Y10 I-5 J0\n";

TEST_F(DrawProgramTest, RapidFeedAndClockwiseArc) {
  Draw(kExample);
  const auto lines = ProgramLines(rig.win);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0].colour, kBrightGreen);
  EXPECT_TRUE(lines[0].dashed);
  EXPECT_EQ(lines[0].x1, 0);
  EXPECT_EQ(lines[0].y1, 0);
  EXPECT_EQ(lines[0].x2, 10);
  EXPECT_EQ(lines[0].y2, 0);
  EXPECT_EQ(lines[1].colour, kBlue);
  EXPECT_FALSE(lines[1].dashed);
  EXPECT_EQ(lines[1].x1, 10);
  EXPECT_EQ(lines[1].y1, 0);
  EXPECT_EQ(lines[1].x2, 10);
  EXPECT_EQ(lines[1].y2, 10);

  ASSERT_EQ(rig.win.arcs.size(), 1u);
  const auto& arc = rig.win.arcs[0];
  EXPECT_DOUBLE_EQ(arc.cx, 5);
  EXPECT_DOUBLE_EQ(arc.cy, 10);
  EXPECT_DOUBLE_EQ(arc.r, 5);
  EXPECT_EQ(arc.colour, kBlue);
  // Clockwise from (10, 10) to (0, 10) is the lower half: counter-clockwise
  // from pi to 0, through (5, 5).
  EXPECT_NEAR(arc.a0, kPi, 1e-12);
  EXPECT_NEAR(arc.a1, 0, 1e-12);
  double x, y;
  ArcMidpoint(arc, x, y);
  EXPECT_NEAR(x, 5, 1e-9);
  EXPECT_NEAR(y, 5, 1e-9);
}

TEST_F(DrawProgramTest, CounterClockwiseArcTakesTheOtherHalf) {
  Draw("G03 X10 Y0 I5 J0\n");
  ASSERT_EQ(rig.win.arcs.size(), 1u);
  double x, y;
  ArcMidpoint(rig.win.arcs[0], x, y);
  EXPECT_NEAR(x, 5, 1e-9);
  EXPECT_NEAR(y, -5, 1e-9);
  Draw("G02 X10 Y0 I5 J0\n");
  ASSERT_EQ(rig.win.arcs.size(), 1u);
  ArcMidpoint(rig.win.arcs[0], x, y);
  EXPECT_NEAR(x, 5, 1e-9);
  EXPECT_NEAR(y, 5, 1e-9);
}

TEST_F(DrawProgramTest, GridComesBeforeTheProgram) {
  Draw(kExample);
  EXPECT_EQ(rig.win.clears, 1);
  ASSERT_FALSE(rig.win.lines.empty());
  EXPECT_EQ(rig.win.lines.front().colour, kLightGrey);
  EXPECT_EQ(rig.win.lines.back().colour, kBlue);
}

TEST_F(DrawProgramTest, ExtentsCountTheWholeCircleUnlessFitEndpointsOnly) {
  Draw(kExample);
  EXPECT_DOUBLE_EQ(rig.plot.PlotXMin, 0);
  EXPECT_DOUBLE_EQ(rig.plot.PlotXMax, 10);
  EXPECT_DOUBLE_EQ(rig.plot.PlotYMin, 0);
  EXPECT_DOUBLE_EQ(rig.plot.PlotYMax, 15);
  rig.plot.FitEndpointsOnly = true;
  Draw(kExample);
  EXPECT_DOUBLE_EQ(rig.plot.PlotXMin, 0);
  EXPECT_DOUBLE_EQ(rig.plot.PlotXMax, 10);
  EXPECT_DOUBLE_EQ(rig.plot.PlotYMin, 0);
  EXPECT_DOUBLE_EQ(rig.plot.PlotYMax, 10);
  // Fit twice: back to the first extents.
  rig.plot.FitEndpointsOnly = false;
  Draw(kExample);
  EXPECT_DOUBLE_EQ(rig.plot.PlotYMax, 15);
}

TEST_F(DrawProgramTest, WithoutRefitTheExtentsStay) {
  rig.plot.PlotXMax = rig.plot.PlotYMax = 200;
  Draw(kExample, /*refit=*/false);
  EXPECT_EQ(rig.plot.PlotXMax, 200);
  EXPECT_EQ(rig.plot.PlotYMax, 200);
  EXPECT_EQ(rig.win.arcs.size(), 1u);
}

TEST_F(DrawProgramTest, ShortArcWordsDoNotAddTheCircle) {
  Draw("G2 X0 Y10 I0 J5\n");  // half circle through (-5, 5)
  EXPECT_DOUBLE_EQ(rig.plot.PlotXMin, 0);
  EXPECT_DOUBLE_EQ(rig.plot.PlotXMax, 0);
  EXPECT_EQ(rig.win.arcs.size(), 1u);
}

TEST_F(DrawProgramTest, DrillingShowsAsARapidToTheHole) {
  Draw("G81 X5 Y5 Z-3 R2\n");
  const auto lines = ProgramLines(rig.win);
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0].colour, kBrightGreen);
  EXPECT_TRUE(lines[0].dashed);
  EXPECT_EQ(lines[0].x2, 5);
  EXPECT_EQ(lines[0].y2, 5);
  EXPECT_TRUE(rig.win.arcs.empty());
}

// Mend: arcs and drilling are drawn only for lines that carry their words.
TEST_F(DrawProgramTest, ArcAndDrillOnlyWhenTheLineAsksForThem) {
  Draw("G02 X10 Y0 I5 J0\nF100\nM3\n");
  EXPECT_EQ(rig.win.arcs.size(), 1u);
  Draw("G81 X5 Y5 Z-3 R2\nF50\nX10 Y10\n");
  const auto lines = ProgramLines(rig.win);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[1].x1, 5);
  EXPECT_EQ(lines[1].x2, 10);
}

// Mend: an arc of radius 0 is a straight line, never a failure.
TEST_F(DrawProgramTest, ArcOfRadiusZeroIsAStraightLine) {
  for (const char* program : {"G2 X10 Y0 I0 J0\n", "G3 X10 Y0 I0 J0\n", "G02 X10 Y0 I0 J0\n"}) {
    Draw(program);
    EXPECT_TRUE(rig.win.arcs.empty()) << program;
    const auto lines = ProgramLines(rig.win);
    ASSERT_EQ(lines.size(), 1u) << program;
    EXPECT_EQ(lines[0].colour, kBlue);
    EXPECT_FALSE(lines[0].dashed);
    EXPECT_EQ(lines[0].x2, 10);
  }
}

TEST_F(DrawProgramTest, ArcBackToItsStartIsAFullCircle) {
  Draw("G02 X0 Y0 I5 J0\n");
  ASSERT_EQ(rig.win.arcs.size(), 2u);
  double total = 0;
  for (const auto& a : rig.win.arcs) {
    EXPECT_DOUBLE_EQ(a.cx, 5);
    double sweep = a.a1 - a.a0;
    if (sweep < 0) sweep += 2 * kPi;
    total += sweep;
  }
  EXPECT_NEAR(total, 2 * kPi, 1e-12);
}

// The drawing makes the run's full-circle decision: an end within one step
// of the start point is drawn as the whole circle, either way round.
TEST_F(DrawProgramTest, ArcEndingWithinOneStepOfItsStartIsDrawnAsAFullCircle) {
  struct Row {
    const char* program;
    double sweep;  // radians drawn
  } rows[] = {
      {"G03 X-0.0001 Y0 I-5 J0\n", 2 * kPi},
      {"G02 X0.0001 Y0 I5 J0\n", 2 * kPi},
      {"G03 X-0.02 Y0 I-5 J0\n", std::acos(4.98 / 5)},
  };
  for (const auto& row : rows) {
    Draw(row.program);
    double total = 0;
    for (const auto& a : rig.win.arcs) {
      double sweep = a.a1 - a.a0;
      if (sweep < 0) sweep += 2 * kPi;
      total += sweep;
    }
    EXPECT_NEAR(total, row.sweep, 1e-9) << row.program;
  }
}

// With a finer Y step the full-circle decision goes by that finer step (the
// arc set-up's FinestStepXY): the drawing shows a whole circle exactly where
// the run cuts one.
TEST_F(DrawProgramTest, FullCircleDrawnExactlyWhereTheRunCutsOne) {
  struct Row {
    const char* program;
    bool full;
  } rows[] = {
      {"G03 X-0.002 Y0 I-5 J0\n", true},   // within the finer step
      {"G03 X-0.006 Y0 I-5 J0\n", false},  // within the coarser step only
      {"G02 X0 Y-0.002 I5 J0\n", true},
      {"G02 X0.001 Y0.002 I5 J0\n", true},
  };
  auto fineY = [](test::TestRig& r) {
    r.ms.UnitsPerStepX = 0.01, r.ms.UnitsPerStepY = 0.0025;
    r.ms.FinestStepXY = 0.0025, r.ms.FinestAxis = 2;
  };
  for (const auto& row : rows) {
    fineY(rig);
    Draw(row.program);
    double drawn = 0;
    for (const auto& a : rig.win.arcs) {
      double sweep = a.a1 - a.a0;
      if (sweep < 0) sweep += 2 * kPi;
      drawn += sweep;
    }
    test::TestRig run;
    fineY(run);
    run.ms.Offline = true;
    run.LoadProgram(row.program);
    run.ms.LineText = run.store.Entry(1);
    ReadLine(run.core);
    ASSERT_FALSE(run.ms.LineBad) << row.program;
    run.ms.ProgramFeed = 300;
    DispatchMotion(run.core);
    EXPECT_EQ(run.ms.ArcSweep == 2 * kPi, row.full) << row.program;
    EXPECT_EQ(std::fabs(drawn - 2 * kPi) < 1e-9, row.full) << row.program << " " << drawn;
  }
}

// I and J stay negated after an arc: the next arc line without I or J turns
// about the same centre in the extents pass as in the drawing.
TEST_F(DrawProgramTest, ModalCentreOffsetsAgreeInBothPasses) {
  Draw("G02 X10 Y0 I5 J0\nG02 X20 Y0\n");
  ASSERT_EQ(rig.win.arcs.size(), 2u);
  EXPECT_DOUBLE_EQ(rig.win.arcs[1].cx, 5);
  EXPECT_DOUBLE_EQ(rig.win.arcs[1].cy, -5);
  const double r = std::sqrt(50.0);
  EXPECT_DOUBLE_EQ(rig.win.arcs[1].r, r);
  EXPECT_DOUBLE_EQ(rig.plot.PlotYMin, -5 - r);
}

TEST_F(DrawProgramTest, OtherMotionWordsDrawNothing) {
  Draw("G01 X5\nG04 P1\nX7 Y3\n");
  const auto lines = ProgramLines(rig.win);
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0].x2, 5);
}

TEST_F(DrawProgramTest, LinesWithoutCoordinatesDrawNoLength) {
  Draw("G01 X5\nF100\n(comment)\nG01 X8\n");
  const auto lines = ProgramLines(rig.win);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[1].x1, 5);
  EXPECT_EQ(lines[1].x2, 8);
}

TEST_F(DrawProgramTest, EmptyProgramClearsAndDrawsNoGrid) {
  rig.plot.PlotXMax = rig.plot.PlotYMax = 200;
  Draw("");
  EXPECT_EQ(rig.store.LineCount, 0);
  EXPECT_EQ(rig.plot.PlotXMin, 0);
  EXPECT_EQ(rig.plot.PlotXMax, 0);
  EXPECT_EQ(rig.plot.PlotYMin, 0);
  EXPECT_EQ(rig.plot.PlotYMax, 0);
  EXPECT_EQ(rig.win.clears, 1);
  EXPECT_TRUE(rig.win.lines.empty());
  EXPECT_TRUE(rig.win.labels.empty());
}

TEST_F(DrawProgramTest, DrawLineEndsAtLineCount) {
  Draw(kExample);
  EXPECT_EQ(rig.plot.DrawLine, 3);
}

// Mend: a redraw never asks for a tool (the drawing's sink makes no tool
// change), whatever the program holds.
TEST_F(DrawProgramTest, ToolChangeNeverAskedWhileDrawing) {
  Draw("G00 X1\nM6 T2\nG01 X2\n");
  EXPECT_TRUE(rig.win.messages.empty());
  EXPECT_EQ(rig.win.MessagesStartingWith(msg::kToolChange), 0);
  EXPECT_FALSE(rig.ms.StepMode);
  Draw("M6 T3\n");
  EXPECT_TRUE(rig.win.messages.empty());
}

// Mend: a redraw in the middle of a run (a resize, View > Fit) leaves every
// register the run and the move read exactly as it found them.
TEST_F(DrawProgramTest, RegistersOfARunSurviveARedraw) {
  rig.LoadProgram("G00 X50 Y50 Z5 F900\nG03 X0 Y0 I-25 J-25\nG81 X1 Y1 Z-3 R2 Q4\nM30\n");
  MachineState& ms = rig.ms;
  ms.MotionWord = "G02";
  ms.TargetX = 1.5, ms.TargetY = 2.5, ms.TargetZ = -0.5;
  ms.LineStartX = 0.25, ms.LineStartY = 0.75, ms.LineStartZ = 1;
  ms.ArcI = 3, ms.ArcJ = -4;
  ms.ProgramFeed = 123;
  ms.ZWord = "-1", ms.RWord = "3", ms.QWord = "2", ms.TWord = "7";
  ms.PecksLeft = 2;
  ms.MCode = 0;
  ms.LineWords = {};
  ms.LineWords.X = ms.LineWords.I = true;
  ms.LineBad = false;
  ms.FeedNow = 123;
  ms.StepRate = 273.5;
  ms.RefAxis = 2;
  ms.ArcMove = true;
  ms.ArcDirection = 1;  // the dispatch's sign for G02
  ms.StopRequested = true;
  ms.DrillCycleActive = true;
  ms.DiagonalFactor = 0.707;
  ms.StepMode = true;
  ms.CurrentLine = 2;
  ms.PrgX = 1.2, ms.PrgY = 2.1;
  ms.LineText = "";
  const MachineState before = ms;

  rig.plot.RefitExtents = true;
  DrawProgram(rig.core);

  EXPECT_EQ(ms.MotionWord, before.MotionWord);
  EXPECT_EQ(ms.TargetX, before.TargetX);
  EXPECT_EQ(ms.TargetY, before.TargetY);
  EXPECT_EQ(ms.TargetZ, before.TargetZ);
  EXPECT_EQ(ms.LineStartX, before.LineStartX);
  EXPECT_EQ(ms.LineStartY, before.LineStartY);
  EXPECT_EQ(ms.LineStartZ, before.LineStartZ);
  EXPECT_EQ(ms.ArcI, before.ArcI);
  EXPECT_EQ(ms.ArcJ, before.ArcJ);
  EXPECT_EQ(ms.ProgramFeed, before.ProgramFeed);
  EXPECT_EQ(ms.ZWord, before.ZWord);
  EXPECT_EQ(ms.RWord, before.RWord);
  EXPECT_EQ(ms.QWord, before.QWord);
  EXPECT_EQ(ms.TWord, before.TWord);
  EXPECT_EQ(ms.PecksLeft, before.PecksLeft);
  EXPECT_EQ(ms.MCode, before.MCode);
  EXPECT_TRUE(ms.LineWords.X && ms.LineWords.I && !ms.LineWords.F && !ms.LineWords.M);
  EXPECT_EQ(ms.LineBad, before.LineBad);
  EXPECT_EQ(ms.FeedNow, before.FeedNow);
  EXPECT_EQ(ms.StepRate, before.StepRate);
  EXPECT_EQ(ms.RefAxis, before.RefAxis);
  EXPECT_EQ(ms.ArcMove, before.ArcMove);
  EXPECT_EQ(ms.ArcDirection, before.ArcDirection);
  EXPECT_EQ(ms.StopRequested, before.StopRequested);
  EXPECT_EQ(ms.DrillCycleActive, before.DrillCycleActive);
  EXPECT_EQ(ms.DiagonalFactor, before.DiagonalFactor);
  EXPECT_EQ(ms.StepMode, before.StepMode);
  EXPECT_EQ(ms.CurrentLine, before.CurrentLine);
  EXPECT_EQ(ms.PrgX, before.PrgX);
  EXPECT_EQ(ms.PrgY, before.PrgY);
  // The program was drawn all the same, and the view changed.
  EXPECT_EQ(rig.win.arcs.size(), 1u);
  EXPECT_DOUBLE_EQ(rig.plot.PlotXMax, 25 + std::sqrt(1250.0));  // the arc's whole circle
  // The feed displays show the run's values again, not the program's last F.
  EXPECT_EQ(rig.win.feedText, "123");
  EXPECT_EQ(rig.win.programFeedText, "123");
}

TEST_F(DrawProgramTest, KeepsTheLiveIntervalOfTheNewView) {
  rig.ms.PlotEvery = 1e18;
  rig.ms.PlotStepCount = 5;
  Draw(kExample);
  // View 0..10 x 0..15: S = 16.5, 6000 twips wide, 0.0075 per step.
  EXPECT_DOUBLE_EQ(rig.ms.PlotEvery, 30 * (1 / rig.ms.FinestStepXY) / (6000 / 16.5));
  EXPECT_EQ(rig.ms.PlotStepCount, 0);
}

TEST(ResetProgramPosition, ZeroesProgramPositionStopPointAndXY) {
  test::TestRig rig;
  MachineState& ms = rig.ms;
  ms.PrgX = 1, ms.PrgY = 2, ms.PrgZ = 3;
  ms.Stop.PrgX = 4, ms.Stop.PrgY = 5, ms.Stop.PrgZ = 6;
  ms.TargetX = 7, ms.TargetY = 8, ms.TargetZ = 9;
  ms.LineStartX = 10, ms.LineStartY = 11, ms.LineStartZ = 12;
  ms.MachX = 13;
  ResetProgramPosition(rig.core);
  EXPECT_EQ(ms.PrgX, 0);
  EXPECT_EQ(ms.PrgY, 0);
  EXPECT_EQ(ms.PrgZ, 0);
  EXPECT_EQ(ms.Stop.PrgX, 0);
  EXPECT_EQ(ms.Stop.PrgY, 0);
  EXPECT_EQ(ms.Stop.PrgZ, 0);
  EXPECT_EQ(ms.TargetX, 0);
  EXPECT_EQ(ms.TargetY, 0);
  EXPECT_EQ(ms.LineStartX, 0);
  EXPECT_EQ(ms.LineStartY, 0);
  EXPECT_EQ(ms.TargetZ, 9);
  EXPECT_EQ(ms.LineStartZ, 12);
  EXPECT_EQ(ms.MachX, 13);
}

struct PositionCase {
  double v;
  const char* text;
};

class FormatPositionTest : public ::testing::TestWithParam<PositionCase> {};

TEST_P(FormatPositionTest, FourDecimals) {
  EXPECT_EQ(FormatPosition(GetParam().v), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(
    Values, FormatPositionTest,
    ::testing::Values(PositionCase{12.5, "12.5000"}, PositionCase{-3, "-3.0000"},
                      PositionCase{0, "0.0000"}, PositionCase{-0.0, "0.0000"},
                      PositionCase{-0.00001, "0.0000"}, PositionCase{0.00004, "0.0000"},
                      PositionCase{1.23456, "1.2346"}, PositionCase{-0.5, "-0.5000"},
                      PositionCase{123456.78901, "123456.7890"}));

struct CommaDecimal : std::numpunct<char> {
  char do_decimal_point() const override { return ','; }
};

TEST(ShowPositions, SixReadOutsWithAPeriodWhateverTheLocale) {
  test::TestRig rig;
  rig.ms.PrgX = 12.5, rig.ms.PrgY = -3, rig.ms.PrgZ = -0.00001;
  rig.ms.MachX = 1, rig.ms.MachY = 2.25, rig.ms.MachZ = -7.125;
  const std::locale before =
      std::locale::global(std::locale(std::locale::classic(), new CommaDecimal));
  ShowPositions(rig.core);
  std::locale::global(before);
  EXPECT_EQ(rig.win.positionShows, 1);
  EXPECT_EQ(rig.win.prg[0], "12.5000");
  EXPECT_EQ(rig.win.prg[1], "-3.0000");
  EXPECT_EQ(rig.win.prg[2], "0.0000");
  EXPECT_EQ(rig.win.mach[0], "1.0000");
  EXPECT_EQ(rig.win.mach[1], "2.2500");
  EXPECT_EQ(rig.win.mach[2], "-7.1250");
}

}  // namespace
}  // namespace brimo
