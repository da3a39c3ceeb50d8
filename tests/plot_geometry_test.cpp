// The plot view: tick table, view from the extents, grid and labels, and the
// live-plot interval.
#include "core/plot/plot_geometry.h"

#include <gtest/gtest.h>

#include <cmath>
#include <locale>
#include <string>
#include <vector>

#include "core/interpreter/parser.h"
#include "core/plot/plot_state.h"
#include "support/test_rig.h"

namespace brimo {
namespace {

struct TickCase {
  double s, t;
};

class TickForTest : public ::testing::TestWithParam<TickCase> {};

TEST_P(TickForTest, Table) { EXPECT_DOUBLE_EQ(TickFor(GetParam().s), GetParam().t); }

// A boundary value belongs to the lower row.
INSTANTIATE_TEST_SUITE_P(Rows, TickForTest,
                         ::testing::Values(TickCase{0, 0.5}, TickCase{0.3, 0.5}, TickCase{1, 0.5},
                                           TickCase{1.01, 1}, TickCase{10, 1}, TickCase{10.5, 10},
                                           TickCase{22, 20}, TickCase{55, 50}, TickCase{99.9, 90},
                                           TickCase{100, 100}, TickCase{220, 80},
                                           TickCase{999, 360}, TickCase{1000, 400},
                                           TickCase{1500, 60}, TickCase{10000, 600},
                                           TickCase{10001, 600}, TickCase{20000, 1200},
                                           TickCase{100000, 6000}, TickCase{250000, 12000}));

TEST(TickFor, AboveTenThousandStaysPositiveAndBelowTheView) {
  for (double s = 10001; s < 1e300; s *= 3.7) {
    const double t = TickFor(s);
    EXPECT_GT(t, 0) << "S = " << s;
    EXPECT_LE(t, s) << "S = " << s;
    // About 16 to 70 grid steps across the view, like the rows below 10000.
    EXPECT_GE(s / (t / 2), 3) << "S = " << s;
  }
}

struct ViewCase {
  const char* name;
  double xmin, xmax, ymin, ymax;
  double s, t, left, right, bottom, top;
};

class ComputeViewTest : public ::testing::TestWithParam<ViewCase> {};

TEST_P(ComputeViewTest, SquareViewWithMargin) {
  const ViewCase& k = GetParam();
  PlotState p;
  p.PlotXMin = k.xmin, p.PlotXMax = k.xmax, p.PlotYMin = k.ymin, p.PlotYMax = k.ymax;
  const PlotView v = ComputeView(p);
  EXPECT_DOUBLE_EQ(v.size, k.s);
  EXPECT_DOUBLE_EQ(v.tick, k.t);
  EXPECT_DOUBLE_EQ(v.left, k.left);
  EXPECT_DOUBLE_EQ(v.right, k.right);
  EXPECT_DOUBLE_EQ(v.bottom, k.bottom);
  EXPECT_DOUBLE_EQ(v.top, k.top);
}

INSTANTIATE_TEST_SUITE_P(
    Extents, ComputeViewTest,
    ::testing::Values(ViewCase{"StartUp", 0, 200, 0, 200, 220, 80, -10, 210, -10, 210},
                      ViewCase{"WideAndFlat", 0, 20, 0, 5, 22, 20, -1, 21, -8.5, 13.5},
                      ViewCase{"NegativeX", -50, 0, 0, 10, 55, 50, -52.5, 2.5, -22.5, 32.5},
                      ViewCase{"TallTakesH", 0, 5, 0, 20, 22, 20, -8.5, 13.5, -1, 21},
                      ViewCase{"Empty", 0, 0, 0, 0, 0, 0.5, 0, 0, 0, 0}),
    [](const auto& info) { return std::string(info.param.name); });

std::vector<test::FakeWindow::Line> LinesOf(const test::FakeWindow& w, Rgb colour) {
  std::vector<test::FakeWindow::Line> out;
  for (const auto& l : w.lines)
    if (l.colour == colour) out.push_back(l);
  return out;
}

TEST(DrawGrid, ZeroSizeViewDrawsNothingButUpdatesPlotEvery) {
  test::TestRig rig;
  rig.ms.PlotStepCount = 17;
  rig.win.left = rig.win.right = 123;  // the previous scale
  DrawGrid(rig.core);
  EXPECT_TRUE(rig.win.lines.empty());
  EXPECT_TRUE(rig.win.labels.empty());
  EXPECT_EQ(rig.win.left, 123);
  EXPECT_EQ(rig.ms.PlotStepCount, 0);
}

TEST(DrawGrid, StartUpViewGridEvery40) {
  test::TestRig rig;
  rig.plot.PlotXMax = rig.plot.PlotYMax = 200;
  DrawGrid(rig.core);
  EXPECT_EQ(rig.win.left, -10);
  EXPECT_EQ(rig.win.top, 210);
  EXPECT_EQ(rig.win.right, 210);
  EXPECT_EQ(rig.win.bottom, -10);
  EXPECT_DOUBLE_EQ(rig.plot.ScaleWidth, 220);
  EXPECT_DOUBLE_EQ(rig.plot.PlotCentreX, 100);
  EXPECT_DOUBLE_EQ(rig.plot.PlotCentreY, 100);
  std::vector<std::string> texts;
  for (const auto& l : rig.win.labels) texts.push_back(l.text);
  // Right half 0..200, then the left half: 0 again (nothing below -10).
  EXPECT_EQ(texts, (std::vector<std::string>{" 0", " 40", " 80", " 120", " 160", " 200", " 0"}));
  const auto grey = LinesOf(rig.win, kLightGrey);
  EXPECT_EQ(grey.size(), 7u + 7u);  // vertical with labels, then horizontal
  EXPECT_EQ(grey[1].x1, 40);
  EXPECT_EQ(grey[1].y1, -10);
  EXPECT_EQ(grey[1].y2, 210);
  EXPECT_EQ(grey[8].y1, 40);
  EXPECT_EQ(grey[8].x1, -10);
  EXPECT_EQ(grey[8].x2, 210);
  // The axes come last, in black, through the origin.
  const auto black = LinesOf(rig.win, kBlack);
  ASSERT_EQ(black.size(), 2u);
  EXPECT_EQ(rig.win.lines.back().colour, kBlack);
  EXPECT_EQ(black[0].x1, 0);
  EXPECT_EQ(black[0].x2, 0);
  EXPECT_EQ(black[0].y1, 210);
  EXPECT_EQ(black[0].y2, -10);
  EXPECT_EQ(black[1].y1, 0);
  EXPECT_EQ(black[1].x1, 210);
  EXPECT_EQ(black[1].x2, -10);
}

TEST(DrawGrid, LabelsStandAtTheLowestYNotOnTheAxis) {
  test::TestRig rig;
  rig.plot.PlotXMin = -50, rig.plot.PlotXMax = 0, rig.plot.PlotYMin = -4, rig.plot.PlotYMax = 6;
  DrawGrid(rig.core);
  ASSERT_FALSE(rig.win.labels.empty());
  std::vector<std::string> texts;
  for (const auto& l : rig.win.labels) {
    EXPECT_EQ(l.y, -4);
    texts.push_back(l.text);
  }
  EXPECT_EQ(texts, (std::vector<std::string>{" 0", " 0", "-25", "-50"}));
  EXPECT_EQ(rig.win.labels[2].x, -25);
}

TEST(DrawGrid, GridAboveTenThousandHasPositiveSpacing) {
  test::TestRig rig;
  rig.plot.PlotXMax = rig.plot.PlotYMax = 20000;  // S = 22000
  DrawGrid(rig.core);
  const auto grey = LinesOf(rig.win, kLightGrey);
  ASSERT_GE(grey.size(), 4u);
  EXPECT_GT(grey[1].x1 - grey[0].x1, 0);
  EXPECT_LT(grey.size(), 400u);
}

TEST(DrawGrid, ViewFarFromTheOriginEndsWithBoundedLines) {
  test::TestRig rig;
  rig.plot.PlotXMin = rig.plot.PlotYMin = 1e12;
  rig.plot.PlotXMax = rig.plot.PlotYMax = 1e12 + 1;
  DrawGrid(rig.core);
  EXPECT_LE(rig.win.lines.size(), 4u * 10000u + 2u);
}

TEST(DrawGrid, ViewThatIsNotANumberDrawsNothing) {
  test::TestRig rig;
  rig.plot.PlotXMax = INFINITY;
  DrawGrid(rig.core);
  EXPECT_TRUE(rig.win.lines.empty());
}

TEST(UpdatePlotEvery, ThirtyTwipsOfTheFinerAxis) {
  test::TestRig rig;
  rig.plot.ScaleWidth = 220;
  rig.win.plotWidthTwips = 6000;
  rig.ms.FinestStepXY = 0.0075;
  rig.ms.PlotStepCount = 9;
  UpdatePlotEvery(rig.core);
  EXPECT_DOUBLE_EQ(rig.ms.PlotEvery, 30 * (1 / 0.0075) / (6000.0 / 220));
  EXPECT_EQ(rig.ms.PlotStepCount, 0);
}

struct GuardCase {
  const char* name;
  double scaleWidth, twips, finest;
};

class UpdatePlotEveryGuard : public ::testing::TestWithParam<GuardCase> {};

TEST_P(UpdatePlotEveryGuard, StaysAPositiveNumber) {
  test::TestRig rig;
  rig.ms.PlotEvery = 0;
  rig.plot.ScaleWidth = GetParam().scaleWidth;
  rig.win.plotWidthTwips = GetParam().twips;
  rig.ms.FinestStepXY = GetParam().finest;
  UpdatePlotEvery(rig.core);
  EXPECT_GT(rig.ms.PlotEvery, 0);
  EXPECT_TRUE(std::isfinite(rig.ms.PlotEvery));
}

INSTANTIATE_TEST_SUITE_P(Zeros, UpdatePlotEveryGuard,
                         ::testing::Values(GuardCase{"NoScaleYet", 0, 6000, 0.0075},
                                           GuardCase{"NoWidth", 220, 0, 0.0075},
                                           GuardCase{"NoStepSize", 220, 6000, 0},
                                           GuardCase{"NothingAtAll", 0, 0, 0}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(UpdatePlotEvery, KeepsTheLastGoodIntervalWithoutAScale) {
  test::TestRig rig;
  rig.ms.PlotEvery = 146;
  rig.plot.ScaleWidth = 0;
  UpdatePlotEvery(rig.core);
  EXPECT_EQ(rig.ms.PlotEvery, 146);
}

struct LabelCase {
  double v;
  const char* text;
};

class GridLabelTest : public ::testing::TestWithParam<LabelCase> {};

TEST_P(GridLabelTest, BlankBeforeNonNegative) {
  EXPECT_EQ(GridLabel(GetParam().v), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(Values, GridLabelTest,
                         ::testing::Values(LabelCase{40, " 40"}, LabelCase{-20, "-20"},
                                           LabelCase{0, " 0"}, LabelCase{-0.0, " 0"},
                                           LabelCase{0.5, " 0.5"}, LabelCase{-2.5, "-2.5"},
                                           LabelCase{1200, " 1200"}));

// Arcs are drawn as chords within a quarter pixel of the circle: a large
// circle needs far fewer chords than 2-pixel ones, a small one about as many.
struct ChordCase {
  double radiusPx, sweep;
  int atMost;  // chords
};

class ArcChordCountTest : public ::testing::TestWithParam<ChordCase> {};

TEST_P(ArcChordCountTest, FewChordsWithinAQuarterPixel) {
  const ChordCase& c = GetParam();
  const int n = ArcChordCount(c.radiusPx, c.sweep);
  EXPECT_GE(n, 2);
  EXPECT_LE(n, c.atMost);
  if (n < 4096) EXPECT_LE(c.radiusPx * (1 - std::cos(c.sweep / n / 2)), 0.25 + 1e-12);
}

INSTANTIATE_TEST_SUITE_P(Circles, ArcChordCountTest,
                         ::testing::Values(ChordCase{300, 2 * 3.14159265358979, 140},
                                           ChordCase{40, 3.14159265358979, 30},
                                           ChordCase{5, 2 * 3.14159265358979, 12},
                                           ChordCase{0.1, 1, 2}, ChordCase{0, 6, 2},
                                           ChordCase{1e9, 0.5, 4096}));

// A decimal comma in the program's locale must not reach the plot's texts.
struct CommaDecimal : std::numpunct<char> {
  char do_decimal_point() const override { return ','; }
};

TEST(NumberText, PeriodWhateverTheLocale) {
  const std::locale before =
      std::locale::global(std::locale(std::locale::classic(), new CommaDecimal));
  const std::string text = NumberText(12.5);
  const std::string label = GridLabel(-2.5);
  std::locale::global(before);
  EXPECT_EQ(text, "12.5");
  EXPECT_EQ(label, "-2.5");
}

}  // namespace
}  // namespace brimo
