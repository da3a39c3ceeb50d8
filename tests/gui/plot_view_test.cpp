// The plot: pixels of the backing image after drawing a program, View > Fit,
// the redraw on resize, the live-plot dot.
#include <limits>

#include "core/plot/plot_geometry.h"
#include "core/plot/toolpath.h"
#include "gui_fixture.h"

namespace brimo::gui::test {
namespace {

const QColor kGreen(0, 255, 0), kBlack(0, 0, 0);

// A rapid along y = 4, a feed line up x = 12, then a clockwise half circle
// about (7, 14) of radius 5 from (12, 14) to (2, 14), through (7, 9).
constexpr const char* kProgram =
    "G00 X2 Y4\n"
    "G00 X12 Y4\n"
    "G01 X12 Y14 F100\n"
    "G02 X2 Y14 I-5 J0\n";

class PlotTest : public WindowTest {
 protected:
  // True when a pixel of `colour` lies within `radius` pixels of the
  // program point (x, y).
  bool ColourNear(double x, double y, QColor colour, int radius = 1) {
    const QImage& image = View().Image();
    const QPointF p = View().MapToPixel(x, y);
    for (int dy = -radius; dy <= radius; ++dy) {
      for (int dx = -radius; dx <= radius; ++dx) {
        const int px = static_cast<int>(std::floor(p.x())) + dx;
        const int py = static_cast<int>(std::floor(p.y())) + dy;
        if (image.rect().contains(px, py) && image.pixelColor(px, py) == colour) return true;
      }
    }
    return false;
  }
  void Load(const QByteArray& text) {
    ASSERT_TRUE(Main().OpenProgramFile(WriteFile("plot.txt", text)));
  }
};

TEST_F(PlotTest, ARapidIsDashedGreen) {
  Start();
  Load(kProgram);
  // The pixel row of y = 4 (or its neighbour) between x = 3 and x = 9:
  // mostly green, with gaps.
  const QImage& image = View().Image();
  const QPointF from = View().MapToPixel(3, 4), to = View().MapToPixel(9, 4);
  int bestGreen = 0, bestRowLength = 0, gaps = 0;
  for (int row = static_cast<int>(from.y()) - 1; row <= static_cast<int>(from.y()) + 1; ++row) {
    int green = 0, rowGaps = 0;
    bool previousGreen = true;
    for (int x = static_cast<int>(from.x()); x <= static_cast<int>(to.x()); ++x) {
      const bool isGreen = image.pixelColor(x, row) == kGreen;
      green += isGreen;
      rowGaps += previousGreen && !isGreen;
      previousGreen = isGreen;
    }
    if (green > bestGreen) {
      bestGreen = green, gaps = rowGaps;
      bestRowLength = static_cast<int>(to.x()) - static_cast<int>(from.x()) + 1;
    }
  }
  ASSERT_GT(bestRowLength, 60);
  EXPECT_GE(bestGreen, bestRowLength / 2);
  EXPECT_GE(gaps, bestRowLength / 10) << "a dashed line has gaps";
  // No black anywhere along it.
  for (double x = 3; x <= 9.01; x += 0.5) EXPECT_FALSE(ColourNear(x, 4, kBlack)) << x;
}

TEST_F(PlotTest, AFeedLineIsSolidInTheForegroundColour) {
  Start();
  Load(kProgram);
  for (double y = 5; y <= 13.01; y += 0.25) EXPECT_TRUE(ColourNear(12, y, kBlack)) << y;
  EXPECT_FALSE(ColourNear(12, 9, kGreen, 2));
}

TEST_F(PlotTest, AClockwiseArcRunsThroughItsMidpointOnTheClockwiseSide) {
  Start();
  Load(kProgram);
  EXPECT_TRUE(ColourNear(7, 9, kBlack));  // midpoint of the clockwise half
  EXPECT_TRUE(ColourNear(7 + 5 * std::cos(-0.5), 14 + 5 * std::sin(-0.5), kBlack));
  EXPECT_FALSE(ColourNear(7, 19, kBlack, 2));  // the counter-clockwise half stays empty
}

TEST_F(PlotTest, ACounterClockwiseArcRunsOverTheTop) {
  Start();
  Load("G01 X12 Y14 F100\nG03 X2 Y14 I-5 J0\n");
  EXPECT_TRUE(ColourNear(7, 19, kBlack));
  EXPECT_FALSE(ColourNear(7, 9, kBlack, 2));
}

TEST_F(PlotTest, AFullCircleIsDrawnWhole) {
  Start();
  Load("G00 X10 Y20\nG02 X10 Y20 I10 J0 F100\n");
  for (double a = 0; a < 6.28; a += 0.5)
    EXPECT_TRUE(ColourNear(20 + 10 * std::cos(a), 20 + 10 * std::sin(a), kBlack, 2)) << a;
}

TEST_F(PlotTest, FitTwiceReturnsToTheFirstExtents) {
  Start();
  Load(kProgram);
  const PlotState first = app_->plot();
  EXPECT_EQ(first.PlotYMax, 19);  // the arc's whole circle counts
  QAction* fit = Main().findChild<QAction*>("Mnu_Fit");
  fit->trigger();
  EXPECT_EQ(app_->plot().PlotYMax, 14);  // end points only
  EXPECT_EQ(app_->plot().PlotYMin, 0);
  fit->trigger();
  EXPECT_EQ(app_->plot().PlotXMin, first.PlotXMin);
  EXPECT_EQ(app_->plot().PlotXMax, first.PlotXMax);
  EXPECT_EQ(app_->plot().PlotYMin, first.PlotYMin);
  EXPECT_EQ(app_->plot().PlotYMax, first.PlotYMax);
  EXPECT_FALSE(app_->plot().RefitExtents);
  EXPECT_TRUE(ColourNear(12, 10, kBlack));
}

TEST_F(PlotTest, AResizeRedrawsTheProgramWhenMoreThanOneEntryIsLoaded) {
  Start();
  Load(kProgram);
  Main().resize(Main().width(), Main().height() + 30);
  Settle();
  EXPECT_TRUE(ColourNear(12, 10, kBlack));
  EXPECT_TRUE(ColourNear(7, 9, kBlack));
  EXPECT_EQ(app_->plot().DrawLine, 0);
}

TEST_F(PlotTest, AResizeWithOneEntryLoadedRedrawsOnlyGridAndAxes) {
  Start();
  Load("G01 X10 Y7 F100\n");
  EXPECT_TRUE(ColourNear(5, 3.5, kBlack));
  Main().resize(Main().width(), Main().height() + 30);
  Settle();
  EXPECT_FALSE(ColourNear(5, 3.5, kBlack));
  EXPECT_TRUE(ColourNear(0, 3.5, kBlack));  // the Y axis
}

// A resize or View > Fit in the middle of a cut redraws the whole program
// but leaves every register the cut reads as it was.
TEST_F(PlotTest, RedrawsDuringACutLeaveTheCutsRegisters) {
  Start();
  Load(kProgram);
  MachineState& ms = app_->ms();
  ms.Running = true;
  ms.MotionWord = "G02", ms.ArcDirection = -1, ms.ArcMove = true;
  ms.TargetX = 7, ms.TargetY = 8, ms.TargetZ = -1, ms.LineStartX = 3;
  ms.ArcI = 2, ms.ArcJ = -2, ms.ProgramFeed = 90, ms.FeedNow = 123, ms.StepRate = 456;
  ms.RefAxis = 2, ms.StopRequested = true, ms.MCode = 6, ms.DrillCycleActive = true;
  ms.PecksLeft = 2, ms.CurrentLine = 3;
  const MachineState before = ms;

  Main().resize(Main().width(), Main().height() + 20);
  Settle();
  Main().findChild<QAction*>("Mnu_Fit")->trigger();

  EXPECT_EQ(ms.MotionWord, before.MotionWord);
  EXPECT_EQ(ms.ArcDirection, before.ArcDirection);
  EXPECT_EQ(ms.ArcMove, before.ArcMove);
  EXPECT_EQ(ms.TargetX, before.TargetX);
  EXPECT_EQ(ms.TargetY, before.TargetY);
  EXPECT_EQ(ms.TargetZ, before.TargetZ);
  EXPECT_EQ(ms.LineStartX, before.LineStartX);
  EXPECT_EQ(ms.ArcI, before.ArcI);
  EXPECT_EQ(ms.ArcJ, before.ArcJ);
  EXPECT_EQ(ms.ProgramFeed, before.ProgramFeed);
  EXPECT_EQ(ms.FeedNow, before.FeedNow);
  EXPECT_EQ(ms.StepRate, before.StepRate);
  EXPECT_EQ(ms.RefAxis, before.RefAxis);
  EXPECT_EQ(ms.StopRequested, before.StopRequested);
  EXPECT_EQ(ms.MCode, before.MCode);
  EXPECT_EQ(ms.DrillCycleActive, before.DrillCycleActive);
  EXPECT_EQ(ms.PecksLeft, before.PecksLeft);
  EXPECT_EQ(ms.CurrentLine, before.CurrentLine);
  EXPECT_TRUE(ColourNear(7, 9, kBlack));  // and the program was drawn again
  ms.Running = false;
}

TEST_F(PlotTest, TheDrawingSurvivesCoveringAndUncovering) {
  Start();
  Load(kProgram);
  View().hide();
  Settle();
  View().show();
  View().repaint();
  EXPECT_TRUE(ColourNear(12, 10, kBlack));
  const QImage shown = View().grab().toImage();
  const QPointF p = View().MapToPixel(12, 10);
  bool black = false;
  for (int d = -1; d <= 1; ++d)
    black |= shown.pixelColor(static_cast<int>(p.x()) + d, static_cast<int>(p.y())) == kBlack;
  EXPECT_TRUE(black);
}

TEST_F(PlotTest, TheLivePlotDotIsAsLargeAsThePen) {
  Start();
  Window& win = app_->window();
  win.SetPenWidth(3);
  win.PlotDot(100, 100, Rgb{255, 0, 0});
  const QPointF p = View().MapToPixel(100, 100);
  const QImage& image = View().Image();
  int red = 0;
  for (int dy = -2; dy <= 2; ++dy)
    for (int dx = -2; dx <= 2; ++dx)
      red += image.pixelColor(static_cast<int>(p.x()) + dx, static_cast<int>(p.y()) + dy) ==
             QColor(255, 0, 0);
  EXPECT_EQ(red, 9);
}

TEST_F(PlotTest, TheStartupViewShowsGridAxesAndLabels) {
  Start();
  // Extents 0..200: grid every 40 units in light grey, axes black.
  EXPECT_TRUE(ColourNear(0, 100, kBlack));
  EXPECT_TRUE(ColourNear(100, 0, kBlack));
  EXPECT_TRUE(ColourNear(40, 100, QColor(192, 192, 192)));
  EXPECT_TRUE(ColourNear(100, 120, QColor(192, 192, 192)));
  EXPECT_DOUBLE_EQ(app_->plot().ScaleWidth, 220);
}

TEST_F(PlotTest, ScaleOfNoSizeIsRefusedAndKeepsThePreviousOne) {
  Start();
  const QPointF before = View().MapToPixel(50, 50);
  EXPECT_FALSE(app_->window().SetPlotScale(5, 5, 5, 5));
  EXPECT_FALSE(app_->window().SetPlotScale(0, std::nan(""), 10, 0));
  EXPECT_EQ(View().MapToPixel(50, 50), before);
}

// Far-away, huge and edge coordinates are clipped to the image: the drawing
// goes on and nothing is written outside it (the sanitizer build checks).
TEST_F(PlotTest, LinesArcsAndDotsFarOutsideTheViewAreClipped) {
  Start();
  Window& win = app_->window();
  const double inf = std::numeric_limits<double>::infinity();
  const double edges[] = {-1e300, -1e12, -10, 0, 110, 200, 210, 1e12, 1e300, inf, std::nan("")};
  for (int width : {1, 3}) {
    win.SetPenWidth(width);
    for (double a : edges) {
      for (double b : edges) {
        win.DrawLine(a, b, b, a, Rgb{255, 0, 0}, true);
        win.DrawLine(-10, a, 210, b, Rgb{255, 0, 0}, false);
        win.PlotDot(a, b, Rgb{255, 0, 0});
      }
      win.DrawArc(100, 100, std::abs(a), 0, 3, Rgb{0, 0, 255});
      win.DrawArc(a, 100, 50, 1, 1, Rgb{0, 0, 255});
    }
  }
  // The view spans -10..210: a line along its left and bottom edges and a
  // circle far larger than the view whose arc crosses it.
  win.SetPenWidth(1);
  win.DrawLine(-10, -10, -10, 210, Rgb{255, 0, 0}, false);
  win.DrawArc(1e7 + 100, 100, 1e7, 3.1, 3.2, Rgb{0, 0, 255});
  EXPECT_TRUE(ColourNear(-10, 100, QColor(255, 0, 0)));
  EXPECT_TRUE(ColourNear(100, 100, QColor(0, 0, 255), 2));
}

TEST_F(PlotTest, PlotWidthIsTheViewWidthInTwips) {
  Start();
  EXPECT_NEAR(app_->window().PlotWidthTwips(), View().width() * 1440.0 / View().logicalDpiX(),
              1e-9);
}

}  // namespace
}  // namespace brimo::gui::test
