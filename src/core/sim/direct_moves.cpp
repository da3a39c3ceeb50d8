#include "core/sim/direct_moves.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "core/machine/machine_state.h"

namespace brimo {

namespace {

// The step engine's diagonal factor: decimal 0.707, X with Y only (deliberate).
constexpr double kDiagonal = 0.707;
// A straight move with fewer pulses left than this is followed iteration by
// iteration (a few ns each): the closed form may move one step by one pulse,
// which must stay well under 0.1 % of the move.
constexpr double kFollowBelow = 64;
// Pulses between two questions whether to go on, on the paths that follow pulses.
constexpr long kCancelEvery = 1 << 16;
// Arc points between two exact cosines: the rotation in between drifts by a
// few units in the last place per point.
constexpr long kExactEvery = 64;

int Sign(double v) { return (v > 0) - (v < 0); }

// Books `plain` pulses at the move's interval and `stretched` at the interval
// after an X+Y pulse, as WaitPulseInterval spaces them.
void Book(const MachineState& ms, MoveRest& rest, double plain, double stretched) {
  const double interval = static_cast<double>(ms.CounterFrequency) / ms.StepRate;  // ticks
  rest.ticks += plain * interval + stretched * (interval / kDiagonal);
}

// The iterations of RunLinearSteps, one by one, without clock, port or window.
bool FollowLinear(MachineState& ms, MoveRest& rest, const std::function<bool()>& goOn) {
  const double inv = 1 / ms.MoveSteps;
  const double incX = std::fabs(ms.DeltaStepsX) * inv;
  const double incY = std::fabs(ms.DeltaStepsY) * inv;
  const double incZ = std::fabs(ms.DeltaStepsZ) * inv;
  const int signX = Sign(ms.DeltaStepsX), signY = Sign(ms.DeltaStepsY),
            signZ = Sign(ms.DeltaStepsZ);
  double ax = ms.StepAccX, ay = ms.StepAccY, az = ms.StepAccZ;
  double lx = ms.StepsLeftX, ly = ms.StepsLeftY, lz = ms.StepsLeftZ;
  bool diagonal = ms.DiagonalFactor != 1;
  long plain = 0, stretched = 0, n = 0, sx = 0, sy = 0, sz = 0;
  while (lx > 0 || ly > 0 || lz > 0) {
    if (lx > 0) ax += incX;
    if (ly > 0) ay += incY;
    if (lz > 0) az += incZ;
    int x = 0, y = 0, z = 0;
    if (ax >= 1) x = signX, ax -= 1, lx -= 1;
    if (ay >= 1) y = signY, ay -= 1, ly -= 1;
    if (az >= 1) z = signZ, az -= 1, lz -= 1;
    (diagonal ? stretched : plain) += 1;
    diagonal = x != 0 && y != 0;
    sx += x, sy += y, sz += z;
    if (++n % kCancelEvery == 0 && !goOn()) return false;
  }
  ms.StepAccX = ax, ms.StepAccY = ay, ms.StepAccZ = az;
  ms.StepsLeftX = lx, ms.StepsLeftY = ly, ms.StepsLeftZ = lz;
  ms.DiagonalFactor = diagonal ? kDiagonal : 1;
  Book(ms, rest, static_cast<double>(plain), static_cast<double>(stretched));
  rest.pulses += n;
  rest.steps[0] += std::labs(sx), rest.steps[1] += std::labs(sy), rest.steps[2] += std::labs(sz);
  const double dx = ms.UnitsPerStepX * static_cast<double>(sx);
  const double dy = ms.UnitsPerStepY * static_cast<double>(sy);
  const double dz = ms.UnitsPerStepZ * static_cast<double>(sz);
  ms.PrgX += dx, ms.PrgY += dy, ms.PrgZ += dz;
  ms.MachX += dx, ms.MachY += dy, ms.MachZ += dz;
  return true;
}

// One axis of a straight move in closed form. From now on the accumulator
// gains `inc` per iteration while steps are left, and the axis steps at every
// iteration that lifts it to 1 or more.
struct Axis {
  double acc, inc, left;
  bool everyPulse;  // steps at every iteration (the axis with the most steps)
  bool emptyFirst;  // ... but the next iteration's sum falls a hair below 1
  double last = 0;  // iteration of its last step (0: none left)

  Axis(double a, double i, double l) : acc(a), inc(i), left(l) {
    everyPulse = inc > 1 - 1e-12;
    emptyFirst = everyPulse && acc + inc < 1;
    if (left <= 0) {
      last = 0;
    } else if (everyPulse) {
      last = left + (emptyFirst ? 1 : 0);
    } else {
      // acc + k * inc >= left; a quotient within rounding of a whole number
      // counts as that number (the sum reaches the step exactly).
      const double q = (left - acc) / inc;
      const double whole = std::round(q);
      last = std::fabs(q - whole) <= 1e-9 * std::max(1.0, q) ? whole : std::ceil(q);
    }
  }
  // Steps made by iteration k (0 <= k <= last).
  double By(double k) const {
    if (k <= 0 || left <= 0) return 0;
    if (everyPulse) return std::min(left, std::max(0.0, k - (emptyFirst ? 1 : 0)));
    const double v = acc + k * inc;
    return std::min(left, std::floor(v + 1e-9 * std::max(1.0, v)));
  }
  bool StepsAt(double k) const { return k >= 1 && k <= last && By(k) > By(k - 1); }
  double FinalAcc() const {
    if (left <= 0) return acc;
    const double a = acc + last * inc - left;
    return std::clamp(a, 0.0, std::nextafter(1.0, 0.0));
  }
};

// The rest of a long straight move in closed form. False when it cannot be
// (X and Y both step on some iterations only: the caller follows it).
bool ClosedLinear(MachineState& ms, MoveRest& rest) {
  const double inv = 1 / ms.MoveSteps;
  const Axis x(ms.StepAccX, std::fabs(ms.DeltaStepsX) * inv, ms.StepsLeftX);
  const Axis y(ms.StepAccY, std::fabs(ms.DeltaStepsY) * inv, ms.StepsLeftY);
  const Axis z(ms.StepAccZ, std::fabs(ms.DeltaStepsZ) * inv, ms.StepsLeftZ);
  const bool xMoves = x.left > 0 && ms.DeltaStepsX != 0;
  const bool yMoves = y.left > 0 && ms.DeltaStepsY != 0;
  double together = 0;  // iterations that step X and Y
  if (xMoves && yMoves) {
    if (x.everyPulse) {
      together = y.By(std::min(x.last, y.last)) - y.By(x.emptyFirst ? 1 : 0);
    } else if (y.everyPulse) {
      together = x.By(std::min(x.last, y.last)) - x.By(y.emptyFirst ? 1 : 0);
    } else {
      return false;
    }
  }
  const double n = std::max({x.last, y.last, z.last});
  if (n <= 0) return true;
  const bool lastTogether = xMoves && yMoves && x.StepsAt(n) && y.StepsAt(n);
  // Each pulse waits with the factor the pulse before it left.
  const double stretched = (ms.DiagonalFactor != 1 ? 1 : 0) + together - (lastTogether ? 1 : 0);
  Book(ms, rest, n - stretched, stretched);
  rest.pulses += static_cast<long>(n);
  const double sx = Sign(ms.DeltaStepsX) * x.left, sy = Sign(ms.DeltaStepsY) * y.left,
               sz = Sign(ms.DeltaStepsZ) * z.left;
  rest.steps[0] += static_cast<long>(std::fabs(sx));
  rest.steps[1] += static_cast<long>(std::fabs(sy));
  rest.steps[2] += static_cast<long>(std::fabs(sz));
  const double dx = ms.UnitsPerStepX * sx, dy = ms.UnitsPerStepY * sy, dz = ms.UnitsPerStepZ * sz;
  ms.PrgX += dx, ms.PrgY += dy, ms.PrgZ += dz;
  ms.MachX += dx, ms.MachY += dy, ms.MachZ += dz;
  ms.StepAccX = x.FinalAcc(), ms.StepAccY = y.FinalAcc(), ms.StepAccZ = z.FinalAcc();
  ms.StepsLeftX = ms.StepsLeftY = ms.StepsLeftZ = 0;
  ms.DiagonalFactor = lastTogether ? kDiagonal : 1;
  return true;
}

void AdvancePlotCount(MachineState& ms, long pulses) {
  // The live plot is not drawn; its count goes on as if it were.
  if (ms.PlotEvery >= 1)
    ms.PlotStepCount = std::fmod(ms.PlotStepCount + static_cast<double>(pulses), ms.PlotEvery);
}

}  // namespace

bool FinishLinearMove(MachineState& ms, MoveRest& rest, const std::function<bool()>& goOn) {
  const long pulses0 = rest.pulses;
  const double left = std::max({ms.StepsLeftX, ms.StepsLeftY, ms.StepsLeftZ});
  bool ok = true;
  if (!(left >= kFollowBelow && ClosedLinear(ms, rest))) ok = FollowLinear(ms, rest, goOn);
  AdvancePlotCount(ms, rest.pulses - pulses0);
  return ok;
}

bool FinishArcPoints(MachineState& ms, MoveRest& rest, const std::function<bool()>& goOn) {
  const double step = ms.ArcAngleStep;
  const double bound = ms.ArcSweep + step;
  if (!(step > 0 && std::isfinite(step) && std::isfinite(bound))) return true;
  const double ux = ms.UnitsPerStepX, uy = ms.UnitsPerStepY;
  // The ideal point in steps from where the tool stands now:
  //   X = ax + bx cos a,  Y = ay + by sin a
  // and the tool m steps (whole) from there. RunArcSteps steps an axis by one
  // toward the point when it lies a whole step or more away: m keeps its value
  // while floor(X) <= m <= ceil(X), else moves one step toward that range.
  const double ax = (ms.ArcCenterX - ms.PrgX) / ux, bx = ms.ArcRadius / ux;
  const double ay = (ms.ArcCenterY - ms.PrgY) / uy, by = ms.ArcRadius / uy;
  if (!(std::fabs(ax) + bx < 0x1p52 && std::fabs(ay) + by < 0x1p52)) return true;
  // Between exact points the angle a = ArcStartAngle - ArcAngle * ArcDirection
  // turns by `turn` per point: cos and sin of i turns, i < kExactEvery.
  const double turn = -step * ms.ArcDirection;
  double turnCos[kExactEvery] = {1}, turnSin[kExactEvery] = {0};
  const double cosTurn = std::cos(turn), sinTurn = std::sin(turn);
  for (long i = 1; i < kExactEvery; ++i) {
    turnCos[i] = turnCos[i - 1] * cosTurn - turnSin[i - 1] * sinTurn;
    turnSin[i] = turnSin[i - 1] * cosTurn + turnCos[i - 1] * sinTurn;
  }
  // Points left: k = 1, 2, ... while ArcAngle + k step <= bound. The loop's
  // sum (ArcAngle += step) rounds far below a point's width unless the
  // quotient lies within 1e-6 of a whole number; then the sum decides.
  const double q = (bound - ms.ArcAngle) / step;
  if (!(q >= 1 - 1e-6)) return true;  // no point left (or none that can be counted)
  double count = std::floor(q);
  double lastAngle = ms.ArcAngle + count * step;  // ArcAngle of the last point
  if (q - count < 1e-6 || q - count > 1 - 1e-6) {
    count = 0;
    for (double next = ms.ArcAngle + step; next <= bound; next += step) {
      count += 1;
      lastAngle = next;
      if (static_cast<long>(count) % kCancelEvery == 0 && !goOn()) return false;
    }
    if (count == 0) return true;
  }
  const auto n = static_cast<long>(count);
  auto floorOf = [](double v) {
    const auto t = static_cast<int64_t>(v);
    return t - (v < static_cast<double>(t));
  };
  auto ceilOf = [](double v) {
    const auto t = static_cast<int64_t>(v);
    return t + (v > static_cast<double>(t));
  };
  int64_t mx = 0, my = 0;
  long stretched = ms.DiagonalFactor != 1 ? 1 : 0;  // pulses after an X+Y pulse
  long sx = 0, sy = 0;
  bool diagonal = false;
  // Until the tool lies within a step of the point on both axes (at once
  // when the arc starts where the tool stands) it closes in one step per
  // point; from then on it stays within a step (the point moves at most a
  // step per point) and the clamp alone gives its steps.
  bool tracking = false;
  for (long first = 0; first < n; first += kExactEvery) {
    if (first % kCancelEvery == 0 && !goOn()) return false;
    const double a =
        ms.ArcStartAngle - (ms.ArcAngle + static_cast<double>(first + 1) * step) * ms.ArcDirection;
    const double c0 = std::cos(a), s0 = std::sin(a);
    const long points = std::min(kExactEvery, n - first);
    for (long i = 0; i < points; ++i) {
      const double c = c0 * turnCos[i] - s0 * turnSin[i];
      const double s = s0 * turnCos[i] + c0 * turnSin[i];
      const double x = ax + bx * c, y = ay + by * s;
      const int64_t fx = floorOf(x), cx = ceilOf(x), fy = floorOf(y), cy = ceilOf(y);
      int64_t nx = std::clamp(mx, fx, cx), ny = std::clamp(my, fy, cy);
      if (!tracking) {
        nx = std::clamp(nx, mx - 1, mx + 1);
        ny = std::clamp(ny, my - 1, my + 1);
        tracking = nx >= fx && nx <= cx && ny >= fy && ny <= cy;
      }
      const bool stepX = nx != mx, stepY = ny != my;
      mx = nx, my = ny;
      diagonal = stepX && stepY;
      stretched += diagonal;
      sx += stepX, sy += stepY;
    }
  }
  // The last point's factor belongs to the pulse after the arc.
  stretched -= diagonal;
  const long plain = n - stretched;
  ms.ArcAngle = lastAngle;
  const double tx = ux * static_cast<double>(mx), ty = uy * static_cast<double>(my);
  ms.PrgX += tx, ms.MachX += tx;
  ms.PrgY += ty, ms.MachY += ty;
  ms.DiagonalFactor = diagonal ? kDiagonal : 1;
  Book(ms, rest, static_cast<double>(plain), static_cast<double>(stretched));
  rest.pulses += n;
  rest.steps[0] += sx, rest.steps[1] += sy;
  AdvancePlotCount(ms, n);
  return true;
}

}  // namespace brimo
