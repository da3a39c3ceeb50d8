// Generated programs for the golden-output tests, one kind per move family,
// so that every kind of move (and every kind of odd line) appears in some
// stored program. The generator only writes the programs under tests/golden/
// when they are made anew (scripts/update-golden.sh --programs); the tests
// read the stored files, so a later change here or in bench/gen_program.h
// does not change what the goldens were made from.
//
// Lengths in program units: X and Y within about -20..120, Z between -6 and
// 10; feeds 60..400 per minute. The same kind, length and seed always give
// the same program.
#pragma once

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "bench/gen_program.h"

namespace brimo::golden {

enum class ProgramKind {
  kMixed,     // the benchmark's mix (bench/gen_program.h)
  kStraight,  // rapids and feed moves: single axes, diagonals, three axes, modal lines
  kArcs,      // clockwise and counter-clockwise arcs, full circles, helices, modal centres
  kDrilling,  // single plunges and pecks, modal holes, R and Q changes
  kOdd,       // comments, skipped and bad lines, refused moves, tool changes, unknown words
};

namespace detail {

using bench::gen_detail::Num;
using bench::gen_detail::Rng;

inline double R3(double v) { return std::round(v * 1000) / 1000; }  // as written

inline std::string Feed(Rng& rng) { return Num(100 + rng.Below(4) * 100); }

inline std::vector<std::string> Straight(long count, Rng& rng) {
  std::vector<std::string> out = {"%", "(straight moves)", "G00 Z5"};
  double x = 0, y = 0, z = 5;
  while (static_cast<long>(out.size()) < count) {
    switch (rng.Below(8)) {
      case 0:  // rapid to a new place in X and Y
        x = R3(rng.Uniform(0, 100)), y = R3(rng.Uniform(0, 100));
        out.push_back("G00 X" + Num(x) + " Y" + Num(y));
        break;
      case 1:  // plunge at feed, short word form
        z = R3(rng.Uniform(-2, 0));
        out.push_back("G1 Z" + Num(z) + " F" + Num(60 + rng.Below(3) * 20));
        break;
      case 2:  // one axis at feed
        if (rng.Below(2))
          x = R3(rng.Uniform(0, 100)), out.push_back("G01 X" + Num(x) + " F" + Feed(rng));
        else
          y = R3(rng.Uniform(0, 100)), out.push_back("G01 Y" + Num(y) + " F" + Feed(rng));
        break;
      case 3: {  // a 45 degree diagonal, then modal lines
        const double d = R3(rng.Uniform(-10, 10));
        x = R3(x + d), y = R3(y + d);
        out.push_back("G01 X" + Num(x) + " Y" + Num(y) + " F" + Feed(rng));
        for (int k = rng.Below(3); k > 0; --k) {
          x = R3(rng.Uniform(0, 100)), y = R3(rng.Uniform(0, 100));
          out.push_back("X" + Num(x) + " Y" + Num(y));
        }
        break;
      }
      case 4:  // all three axes at once
        x = R3(rng.Uniform(0, 100)), y = R3(rng.Uniform(0, 100)), z = R3(rng.Uniform(-2, 2));
        out.push_back("G01 X" + Num(x) + " Y" + Num(y) + " Z" + Num(z) + " F" + Feed(rng));
        break;
      case 5:  // rapid up, short word form, N word in front
        z = 5;
        out.push_back("N" + std::to_string(out.size() * 10) + " G0 Z5");
        break;
      case 6:  // a tiny move: a few steps, or none
        x = R3(x + rng.Uniform(-0.01, 0.01));
        out.push_back("G01 X" + Num(x));
        break;
      default:  // the same place again: no move
        out.push_back("G01 X" + Num(x) + " Y" + Num(y) + " Z" + Num(z));
        break;
    }
  }
  out.resize(static_cast<size_t>(count));
  return out;
}

inline std::vector<std::string> Arcs(long count, Rng& rng) {
  const double kPi = 4 * std::atan(1.0);
  std::vector<std::string> out = {"%", "(arcs)", "G00 Z5", "G00 X50 Y50", "G01 Z-1 F100"};
  double x = 50, y = 50;
  while (static_cast<long>(out.size()) < count) {
    const int pick = rng.Below(7);
    if (pick == 6) {  // leave for a new place: the arcs keep within reach
      x = R3(rng.Uniform(20, 80)), y = R3(rng.Uniform(20, 80));
      out.push_back("G00 X" + Num(x) + " Y" + Num(y));
      continue;
    }
    const double r = rng.Uniform(0.5, 15);
    const double a0 = rng.Uniform(-kPi, kPi);
    const double cx = R3(x - r * std::cos(a0)), cy = R3(y - r * std::sin(a0));
    const double i = R3(cx - x), j = R3(cy - y);
    const bool cw = rng.Below(2) == 0;
    std::string word = cw ? "G02" : "G03";
    if (pick == 0) {  // a full circle: the end is the start
      out.push_back(word + " X" + Num(x) + " Y" + Num(y) + " I" + Num(i) + " J" + Num(j) + " F" +
                    Feed(rng));
      continue;
    }
    const double rr = std::hypot(x - cx, y - cy);
    const double sweep = rng.Uniform(0.2, 2 * kPi - 0.2);
    const double a1 = std::atan2(y - cy, x - cx) + (cw ? -sweep : sweep);
    x = R3(cx + rr * std::cos(a1)), y = R3(cy + rr * std::sin(a1));
    std::string line;
    switch (pick) {
      case 1:  // short word form
        line = (cw ? "G2" : "G3") + std::string(" X") + Num(x) + " Y" + Num(y) + " I" + Num(i) +
               " J" + Num(j);
        break;
      case 2:  // a helix: the Z word is reached by the closing move
        line = word + " X" + Num(x) + " Y" + Num(y) + " Z" + Num(R3(rng.Uniform(-2, 0))) + " I" +
               Num(i) + " J" + Num(j);
        break;
      case 3:  // no centre: read as a straight feed move
        line = word + " X" + Num(x) + " Y" + Num(y) + " I0 J0";
        break;
      case 4:  // centre words omitted: the stored (negated) ones apply
        line = word + " X" + Num(x) + " Y" + Num(y);
        break;
      default:
        line =
            word + " X" + Num(x) + " Y" + Num(y) + " I" + Num(i) + " J" + Num(j) + " F" + Feed(rng);
        break;
    }
    out.push_back(line);
  }
  out.resize(static_cast<size_t>(count));
  return out;
}

inline std::vector<std::string> Drilling(long count, Rng& rng) {
  std::vector<std::string> out = {"%", "(drilling)", "G00 Z5 F150"};
  while (static_cast<long>(out.size()) < count) {
    const auto X = [&] { return Num(R3(rng.Uniform(0, 100))); };
    const double depth = R3(rng.Uniform(-6, -0.5));
    const std::string r = Num(R3(rng.Uniform(0.5, 3)));
    switch (rng.Below(5)) {
      case 0:  // one plunge, two modal holes
        out.push_back("G81 X" + X() + " Y" + X() + " Z" + Num(depth) + " R" + r + " F" + Feed(rng));
        out.push_back("X" + X() + " Y" + X());
        out.push_back("X" + X() + " Y" + X());
        break;
      case 1:  // pecks, then holes with a new peck count
        out.push_back("G83 X" + X() + " Y" + X() + " Z" + Num(depth) + " R" + r + " Q" +
                      std::to_string(2 + rng.Below(4)) + " F" + Feed(rng));
        out.push_back("X" + X() + " Y" + X() + " Q" + std::to_string(1 + rng.Below(3)));
        break;
      case 2:  // a new depth and retract height on a modal hole
        out.push_back("G81 X" + X() + " Y" + X() + " Z" + Num(depth) + " R" + r + " Q1");
        out.push_back("X" + X() + " Y" + X() + " Z" + Num(R3(depth / 2)) + " R" +
                      Num(R3(rng.Uniform(1, 4))));
        break;
      case 3:  // a fractional peck count
        out.push_back("G83 X" + X() + " Y" + X() + " Z" + Num(depth) + " R" + r + " Q0.5");
        break;
      default:  // out of the cycle: a rapid to a safe height
        out.push_back("G00 Z" + Num(5 + rng.Below(6)));
        break;
    }
  }
  out.resize(static_cast<size_t>(count));
  return out;
}

// A fixed list of odd lines, each followed by a plain move so the run goes
// on from a known place; the seed picks the order and the moves.
inline std::vector<std::string> Odd(long count, Rng& rng) {
  static const char* const kOdd[] = {
      "(a comment line)",
      "; a comment after a semicolon",
      "(a comment (nested) line)",
      "G01 X10 (comment with WORDS F999 inside) Y10",
      "/G01 X5 Y5",
      "1 G01 X5",
      "\tG01 X7",
      "",
      "   ",
      "g01 x10 y10",
      "G01 X. Y5",
      "G01 XNaN",
      "G21",
      "G90 G01 X5",
      "X20 Y20",
      "T2 M6",
      "M6 T3",
      "M3",
      "M5",
      "G01 X1E999",
      "G01 X99999999",
      "G81 X10 Y10 Z-2 R-3 Q1",
      "G83 X10 Y10 Z-1 R1 Q20000",
      "G01 X30 F0",
      "G01 X40,Y40,F200",
      "G81 X15 Y15",
      "G01 X50 Y50 M3",
      "M2",
      "%",
  };
  constexpr int kOddCount = static_cast<int>(sizeof kOdd / sizeof kOdd[0]);
  std::vector<std::string> out = {"%", "(odd lines)", "G00 Z5", "G01 Z-1 F200"};
  int next = 0;  // every odd line comes once before any comes twice
  while (static_cast<long>(out.size()) < count) {
    out.push_back(next < kOddCount ? kOdd[next++] : kOdd[rng.Below(kOddCount)]);
    out.push_back("G01 X" + Num(R3(rng.Uniform(0, 100))) + " Y" + Num(R3(rng.Uniform(0, 100))) +
                  " F" + Feed(rng));
  }
  out.resize(static_cast<size_t>(count));
  return out;
}

}  // namespace detail

// `count` program lines (without line ends) of `kind`.
inline std::vector<std::string> GoldenProgramLines(ProgramKind kind, long count, uint64_t seed) {
  if (kind == ProgramKind::kMixed) return bench::GenerateProgramLines(count, seed);
  detail::Rng rng(seed);
  switch (kind) {
    case ProgramKind::kStraight:
      return detail::Straight(count, rng);
    case ProgramKind::kArcs:
      return detail::Arcs(count, rng);
    case ProgramKind::kDrilling:
      return detail::Drilling(count, rng);
    default:
      return detail::Odd(count, rng);
  }
}

}  // namespace brimo::golden
