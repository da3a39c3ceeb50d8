// Arc set-up: ArcCos, centre, radius, start angle, sweep for G02 and G03,
// the start offset written back into ArcI/ArcJ, full circles, resuming a
// stopped arc, and every arc ending within one step of its target (checked
// on many random consistent arcs).
#include "core/interpreter/arc.h"

#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "core/interpreter/dispatch.h"
#include "core/interpreter/parser.h"
#include "core/machine/messages.h"
#include "support/test_rig.h"

namespace brimo::test {
namespace {

const double kPi = 4 * std::atan(1.0);

// The stepped path trails the ideal point by less than one step on each
// axis, so an extreme of the circle is reached to within one step.
constexpr double kOneStep = 0.01 + 1e-9;

struct Point {
  double x, y;
};

// All scale factors 1, override 100, 0.01 length units per step, rapid 500;
// records the program position after every pulse.
struct Rig : TestRig {
  std::vector<Point> path;
  Rig() {
    UniformAxes(0.01, 500);
    ms.Offline = true;
    win.onPump = [this](long) { path.push_back({ms.PrgX, ms.PrgY}); };
  }
  void Line(const std::string& text) {
    ms.LineText = text;
    ReadLine(core);
    DispatchMotion(core);
  }
  double MaxY() const {
    double m = -1e300;
    for (auto p : path) m = std::max(m, p.y);
    return m;
  }
  double MinY() const {
    double m = 1e300;
    for (auto p : path) m = std::min(m, p.y);
    return m;
  }
};

// Shortest text that reads back as exactly the same double.
std::string Exact(double v) {
  char buf[64];
  auto r = std::to_chars(buf, buf + sizeof buf, v);
  return std::string(buf, r.ptr);
}

TEST(ArcCos, EndsAndInterior) {
  EXPECT_DOUBLE_EQ(ArcCos(-1), -kPi);  // the sign rule of the set-up makes it +pi
  EXPECT_DOUBLE_EQ(ArcCos(1), 0);
  EXPECT_DOUBLE_EQ(ArcCos(0), kPi / 2);
  EXPECT_NEAR(ArcCos(0.5), kPi / 3, 1e-15);
  EXPECT_NEAR(ArcCos(-0.5), 2 * kPi / 3, 1e-15);
  for (double x = -0.99; x < 1; x += 0.03) EXPECT_NEAR(ArcCos(x), std::acos(x), 1e-14) << x;
}

TEST(StartArc, HalfCircleClockwiseThroughTheTop) {
  Rig r;
  r.Line("G02 X10 Y0 I5 J0 F300");
  EXPECT_DOUBLE_EQ(r.ms.ArcCenterX, 5);
  EXPECT_DOUBLE_EQ(r.ms.ArcCenterY, 0);
  EXPECT_DOUBLE_EQ(r.ms.ArcRadius, 5);
  EXPECT_DOUBLE_EQ(r.ms.ArcStartAngle, kPi);
  EXPECT_DOUBLE_EQ(r.ms.ArcSweep, kPi);
  EXPECT_DOUBLE_EQ(r.ms.ArcAngleStep, 0.01 / 5);
  EXPECT_NEAR(r.MaxY(), 5, kOneStep);  // through (5, 5)
  EXPECT_GT(r.MinY(), -kOneStep);
  EXPECT_NEAR(r.ms.PrgX, 10, 1e-9);
  EXPECT_NEAR(r.ms.PrgY, 0, 1e-9);
  // The start offset stays in the registers, J taking the negated I.
  EXPECT_DOUBLE_EQ(r.ms.ArcI, -5);
  EXPECT_DOUBLE_EQ(r.ms.ArcJ, -5);
}

TEST(StartArc, HalfCircleCounterClockwiseThroughTheBottom) {
  Rig r;
  r.Line("G03 X10 Y0 I5 J0 F300");
  EXPECT_DOUBLE_EQ(r.ms.ArcSweep, kPi);
  EXPECT_NEAR(r.MinY(), -5, kOneStep);  // through (5, -5)
  EXPECT_LT(r.MaxY(), kOneStep);
}

TEST(StartArc, QuarterAndThreeQuarterCircles) {
  Rig cw;
  cw.Line("G02 X5 Y5 I5 J0 F300");
  EXPECT_DOUBLE_EQ(cw.ms.ArcStartAngle, kPi);
  EXPECT_NEAR(cw.ms.ArcSweep, kPi / 2, 1e-15);
  EXPECT_NEAR(cw.MaxY(), 5, kOneStep);
  EXPECT_GT(cw.MinY(), -kOneStep);

  Rig ccw;
  ccw.Line("G03 X5 Y5 I5 J0 F300");
  EXPECT_NEAR(ccw.ms.ArcSweep, 3 * kPi / 2, 1e-15);
  EXPECT_NEAR(ccw.MinY(), -5, kOneStep);
  EXPECT_NEAR(ccw.ms.PrgX, 5, 1e-9);
  EXPECT_NEAR(ccw.ms.PrgY, 5, 1e-9);
}

TEST(StartArc, EndOnTheStartIsAFullCircle) {
  Rig r;
  r.Line("G02 X0 Y0 I5 J0 F300");
  EXPECT_DOUBLE_EQ(r.ms.ArcSweep, 2 * kPi);
  EXPECT_NEAR(r.MaxY(), 5, kOneStep);
  EXPECT_NEAR(r.MinY(), -5, kOneStep);
  double maxX = 0;
  for (auto p : r.path) maxX = std::max(maxX, p.x);
  EXPECT_NEAR(maxX, 10, kOneStep);
}

TEST(StartArc, EndWithinOneStepAlongTheCircleIsAFullCircle) {
  Rig r;
  // Clockwise from angle pi, the end lies a hair clockwise of the start.
  r.Line("G02 X0.0000001 Y0.005 I5 J0 F300");
  EXPECT_DOUBLE_EQ(r.ms.ArcSweep, 2 * kPi);
  EXPECT_NEAR(r.MinY(), -5, kOneStep);
}

// An end a hair beyond the circle (CAM rounding) still gives an end angle:
// the cut follows the circle through its far side, not a straight line
// across the diameter.
TEST(StartArc, EndAHairOffItsCircleStillFollowsTheCircle) {
  struct Row {
    const char* start;
    const char* arc;
    double cx, farY;  // centre on Y 0; the extreme of Y the half circle reaches
  } rows[] = {
      {"G00 X0 Y0", "G02 X10.0001 Y0 I5 J0 F300", 5, 5},
      {"G00 X10 Y0", "G02 X-0.0001 Y0 I-5 J0 F300", 5, -5},
      {"G00 X0 Y0", "G03 X10.0001 Y0 I5 J0 F300", 5, -5},
  };
  for (const Row& row : rows) {
    Rig r;
    r.Line(row.start);
    r.path.clear();
    r.Line(row.arc);
    ASSERT_FALSE(r.path.empty()) << row.arc;
    for (const Point& p : r.path)
      ASSERT_NEAR(std::hypot(p.x - row.cx, p.y), 5, 2 * kOneStep) << row.arc << " at " << p.x;
    EXPECT_NEAR(row.farY > 0 ? r.MaxY() : r.MinY(), row.farY, kOneStep) << row.arc;
  }
}

// The full-circle decision goes by the distance from the start point to the
// end point: an end within one step of the start (CAM output rounded to four
// decimals) is a full circle in either direction; two steps away is not.
TEST(StartArc, EndWithinOneStepOfTheStartPointIsAFullCircleEitherWay) {
  struct Row {
    const char* line;
    bool full;
  } rows[] = {
      {"G03 X-0.0001 Y0 I-5 J0 F300", true},  // near 0 degrees: angle error 0.0063 rad
      {"G02 X0.0001 Y0 I5 J0 F300", true},    // near 180 degrees
      {"G02 X-0.0001 Y0 I5 J0 F300", true},  {"G03 X0.0001 Y0 I5 J0 F300", true},
      {"G02 X0 Y0.0099 I5 J0 F300", true},   {"G03 X0 Y-0.0099 I5 J0 F300", true},
      {"G03 X-0.02 Y0 I-5 J0 F300", false},  {"G02 X0 Y0.02 I5 J0 F300", false},
  };
  for (const auto& row : rows) {
    Rig r;
    r.Line(row.line);
    if (row.full) {
      EXPECT_DOUBLE_EQ(r.ms.ArcSweep, 2 * kPi) << row.line;
      EXPECT_NEAR(r.MaxY(), 5, kOneStep) << row.line;
      EXPECT_NEAR(r.MinY(), -5, kOneStep) << row.line;
    } else {
      EXPECT_LT(r.ms.ArcSweep, 0.1) << row.line;
      EXPECT_LT(r.path.size(), 200u) << row.line;  // a whole circle: over 3000
    }
  }
}

TEST(StartArc, ZWordIsReachedByTheClosingStraightMove) {
  Rig r;
  double zDuringArc = 0;
  r.win.onPump = [&](long pump) {
    if (pump == 500) zDuringArc = r.ms.PrgZ;
  };
  r.Line("G02 X10 Y0 Z-1 I5 J0 F300");
  EXPECT_DOUBLE_EQ(zDuringArc, 0);
  EXPECT_NEAR(r.ms.PrgZ, -1, 1e-9);
}

TEST(StartArc, StepRateFromTheFinerAxis) {
  Rig r;
  r.ms.UnitsPerStepY = 0.005;
  r.ms.FinestStepXY = 0.005;
  r.ms.FinestAxis = 2;
  double rate = 0;
  r.win.onPump = [&](long pump) {
    if (pump == 10) rate = r.ms.StepRate;
  };
  r.Line("G03 X10 Y0 I5 J0 F60");
  EXPECT_DOUBLE_EQ(rate, 60 / 60.0 / 0.005);
  EXPECT_EQ(r.ms.RefAxis, 2);
}

TEST(StartArc, StoppedArcResumesFromItsKeptAngle) {
  Rig r;
  r.win.onPump = [&](long pump) {
    r.path.push_back({r.ms.PrgX, r.ms.PrgY});
    if (pump == 400) r.ms.StopRequested = true;
  };
  r.Line("G02 X10 Y0 I5 J0 F300");
  ASSERT_TRUE(r.ms.StopRequested);
  const double keptAngle = r.ms.ArcAngle;
  const double stopX = r.ms.PrgX;
  // The stop came after the 400th point's pulse: the resume goes on with the next.
  EXPECT_NEAR(keptAngle, 400 * r.ms.ArcAngleStep, 1e-12);
  EXPECT_DOUBLE_EQ(r.ms.LineStartX, 0);  // no closing move after a stop
  EXPECT_LT(stopX, 5);

  // A jog meanwhile set its own rate; the resume paces the arc again.
  r.ms.StepRate = 7;
  r.ms.StopRequested = false;
  r.ms.ResumePending = true;
  long resumedPulses = 0;
  double firstY = 0, resumedRate = 0;
  r.win.onPump = [&](long) {
    if (resumedPulses++ == 0) firstY = r.ms.PrgY, resumedRate = r.ms.StepRate;
  };
  DispatchMotion(r.core);
  EXPECT_FALSE(r.ms.ResumePending);
  EXPECT_NEAR(r.ms.PrgX, 10, 1e-9);
  EXPECT_NEAR(r.ms.PrgY, 0, 1e-9);
  EXPECT_GT(firstY, 2);  // continued near the stop point, not from the start
  // The two parts together take the iterations of one arc (no point made
  // twice) plus the closing move.
  const double iterations = std::floor((kPi + r.ms.ArcAngleStep) / r.ms.ArcAngleStep) + 1;
  EXPECT_NEAR(400 + resumedPulses, iterations + 1, 3);
  EXPECT_DOUBLE_EQ(resumedRate, 300 / 60.0 / 0.01);
}

TEST(StartArc, ZeroRadiusShortWordArcIsAStraightMove) {
  Rig r;
  r.ms.ProgramFeed = 100;
  r.ms.MotionWord = "G2";  // the parser no longer leaves this, but the set-up copes
  r.ms.ArcI = r.ms.ArcJ = 0;
  r.ms.TargetX = 1;
  r.ms.TargetY = 2;
  r.ms.LineWords.X = true;
  DispatchMotion(r.core);
  EXPECT_NEAR(r.ms.PrgX, 1, 1e-9);
  EXPECT_NEAR(r.ms.PrgY, 2, 1e-9);
  EXPECT_TRUE(r.win.messages.empty());
}

TEST(StartArc, ZeroFeedDoesNotStartTheArc) {
  Rig r;
  r.Line("G02 X10 Y0 I5 J0");  // no F word yet
  EXPECT_TRUE(r.path.empty());
  EXPECT_TRUE(r.ms.StopRequested);
  EXPECT_EQ(r.win.MessagesStartingWith(msg::kBadRate), 1);
}

// Random arcs whose end lies on the circle: start S, centre C = S + (I, J),
// end at angle start - dir * sweep. Checks: the end of the whole line within
// one step of the target on each axis, the stepped arc within 1.5 steps of
// the circle, the gap left for the closing move under two steps per axis,
// and the angle travelled equal to the sweep in the right direction.
void CheckRandomArcs(double upsX, double upsY, unsigned seed) {
  std::mt19937 rng(seed);
  auto uni = [&](double a, double b) {
    return a + (b - a) * (static_cast<double>(rng()) / 4294967296.0);
  };
  const double finest = std::min(upsX, upsY);
  for (int n = 0; n < 150; ++n) {
    Rig r;
    r.ms.UnitsPerStepX = upsX;
    r.ms.UnitsPerStepY = upsY;
    r.ms.FinestStepXY = finest;
    r.ms.FinestAxis = upsY < upsX ? 2 : 1;
    const double sx = uni(-20, 20), sy = uni(-20, 20);
    const double radius = uni(0.3, 12);
    const double startAngle = uni(-kPi, kPi);
    const double sweep = uni(0.1, 2 * kPi - 0.1);
    const int dir = (rng() & 1) ? 1 : -1;  // +1 G02 clockwise
    const double cx = sx - radius * std::cos(startAngle);
    const double cy = sy - radius * std::sin(startAngle);
    const double endAngle = startAngle - dir * sweep;
    const double ex = cx + radius * std::cos(endAngle);
    const double ey = cy + radius * std::sin(endAngle);
    r.ms.PrgX = r.ms.TargetX = sx;
    r.ms.PrgY = r.ms.TargetY = sy;
    const std::string line = std::string(dir > 0 ? "G02" : "G03") + " X" + Exact(ex) + " Y" +
                             Exact(ey) + " I" + Exact(cx - sx) + " J" + Exact(cy - sy) + " F300";
    r.Line(line);

    SCOPED_TRACE(line);
    EXPECT_NEAR(r.ms.ArcSweep, sweep, 1e-7);
    EXPECT_LE(std::fabs(r.ms.PrgX - ex), upsX);
    EXPECT_LE(std::fabs(r.ms.PrgY - ey), upsY);
    EXPECT_LT(std::fabs(r.ms.LineStartX - ex), 2 * upsX);  // where the stepping left off
    EXPECT_LT(std::fabs(r.ms.LineStartY - ey), 2 * upsY);
    double worst = 0, travelled = 0;
    double prev = std::atan2(sy - cy, sx - cx);
    for (auto p : r.path) {
      worst = std::max(worst, std::fabs(std::hypot(p.x - cx, p.y - cy) - radius));
      const double a = std::atan2(p.y - cy, p.x - cx);
      double d = a - prev;
      while (d > kPi) d -= 2 * kPi;
      while (d < -kPi) d += 2 * kPi;
      travelled += d;
      prev = a;
    }
    EXPECT_LE(worst, 1.5 * std::max(upsX, upsY));
    EXPECT_NEAR(travelled, -dir * sweep, 3 * std::max(upsX, upsY) / radius);
  }
}

TEST(StartArcRandom, EveryArcEndsWithinOneStepEqualSteps) { CheckRandomArcs(0.01, 0.01, 20240611); }

TEST(StartArcRandom, EveryArcEndsWithinOneStepFinerY) { CheckRandomArcs(0.01, 0.004, 7); }

TEST(StartArcRandom, EveryArcEndsWithinOneStepFinerX) { CheckRandomArcs(0.0075, 0.02, 99); }

}  // namespace
}  // namespace brimo::test
