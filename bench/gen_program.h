// A generated G-code program in this dialect, for benchmarks: rapids, feed
// moves, modal coordinate lines, clockwise and counter-clockwise arcs whose
// end points lie on their circles, drilling lines with pecks followed by
// modal holes, comments in both forms, N words, M words and the odd skipped
// line, in the proportions of CAM output. No tool change (it would halt a
// run). Lengths in program units: straight moves and holes within 0..100 in
// X and Y (arcs may reach 20 beyond), Z between -2 and 5; feeds 100..400 per minute. The same seed
// always gives the same program.
//
// Header-only so every benchmark can reuse it.
#pragma once

#include <charconv>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

namespace brimo::bench {

namespace gen_detail {

// A small fixed generator (xorshift64*): the same numbers on every platform
// and standard library.
struct Rng {
  uint64_t s;
  explicit Rng(uint64_t seed) : s(seed * 0x9E3779B97F4A7C15ull + 1) {}
  uint64_t Next() {
    s ^= s >> 12;
    s ^= s << 25;
    s ^= s >> 27;
    return s * 0x2545F4914F6CDD1Dull;
  }
  double Uniform(double a, double b) { return a + (b - a) * double(Next() >> 11) * 0x1p-53; }
  int Below(int n) { return static_cast<int>(Next() % static_cast<uint64_t>(n)); }
};

// Fixed three decimals, period as the decimal point, no trailing zeros.
inline std::string Num(double v) {
  char buf[48];
  auto r = std::to_chars(buf, buf + sizeof buf, std::round(v * 1000) / 1000,
                         std::chars_format::fixed, 3);
  std::string s(buf, r.ptr);
  while (!s.empty() && s.back() == '0') s.pop_back();
  if (!s.empty() && s.back() == '.') s.pop_back();
  if (s == "-0") s = "0";
  return s;
}

}  // namespace gen_detail

// `count` program lines (entries, without line ends).
inline std::vector<std::string> GenerateProgramLines(long count, uint64_t seed = 1) {
  using gen_detail::Num;
  auto R3 = [](double v) { return std::round(v * 1000) / 1000; };  // as written
  gen_detail::Rng rng(seed);
  std::vector<std::string> out;
  out.reserve(static_cast<size_t>(count));
  const double kPi = 4 * std::atan(1.0);
  double x = 0, y = 0;  // where the generated program stands
  long n = 10;
  auto addLine = [&](std::string line) {
    if (static_cast<long>(out.size()) < count) out.push_back(std::move(line));
  };
  auto numbered = [&](const std::string& body) {
    addLine("N" + std::to_string(n) + " " + body);
    n += 10;
  };
  addLine("%");
  addLine("(generated benchmark program)");
  numbered("G00 Z5");
  numbered("G01 Z2 F200");  // a feed before the first arc: a feed of 0 would not move
  while (static_cast<long>(out.size()) < count) {
    switch (rng.Below(10)) {
      case 0: {  // rapid to a new place, plunge at feed
        x = R3(rng.Uniform(0, 100)), y = R3(rng.Uniform(0, 100));
        numbered("G00 X" + Num(x) + " Y" + Num(y) + " Z5");
        numbered("G01 Z" + Num(rng.Uniform(-2, 0)) + " F" + Num(100 + rng.Below(4) * 100));
        break;
      }
      case 1:
      case 2:
      case 3: {  // feed moves, the later ones modal
        x = R3(rng.Uniform(0, 100)), y = R3(rng.Uniform(0, 100));
        numbered("G01 X" + Num(x) + " Y" + Num(y) + " F" + Num(100 + rng.Below(4) * 100));
        for (int k = rng.Below(4); k > 0; --k) {
          x = R3(rng.Uniform(0, 100)), y = R3(rng.Uniform(0, 100));
          addLine("X" + Num(x) + " Y" + Num(y));
        }
        break;
      }
      case 4:
      case 5: {  // an arc from (x, y); the end lies on the circle (to 3 decimals)
        const double sx = x, sy = y;
        const double r = rng.Uniform(0.5, 10);
        const double a0 = rng.Uniform(-kPi, kPi);
        const double cx = R3(sx - r * std::cos(a0)), cy = R3(sy - r * std::sin(a0));
        const double rr = std::hypot(sx - cx, sy - cy);
        const bool cw = rng.Below(2) == 0;
        const double a1 =
            std::atan2(sy - cy, sx - cx) + (cw ? -1 : 1) * rng.Uniform(0.2, 2 * kPi - 0.2);
        x = R3(cx + rr * std::cos(a1)), y = R3(cy + rr * std::sin(a1));
        numbered(std::string(cw ? "G02" : "G03") + " X" + Num(x) + " Y" + Num(y) + " I" +
                 Num(cx - sx) + " J" + Num(cy - sy));
        break;
      }
      case 6: {  // a drilling line and two modal holes
        x = R3(rng.Uniform(0, 100)), y = R3(rng.Uniform(0, 100));
        numbered("G81 X" + Num(x) + " Y" + Num(y) + " Z" + Num(rng.Uniform(-2, -0.5)) + " R1 Q" +
                 std::to_string(1 + rng.Below(3)) + " F200");
        for (int k = 0; k < 2; ++k) {
          x = R3(rng.Uniform(0, 100)), y = R3(rng.Uniform(0, 100));
          addLine("X" + Num(x) + " Y" + Num(y));
        }
        numbered("G00 Z5");
        break;
      }
      case 7:  // comments
        addLine(rng.Below(2) ? "(contour " + std::to_string(n) + ")"
                             : "; pass " + std::to_string(n));
        numbered("G01 X" + Num(x) + " Y" + Num(y) + " (same place, comment inside)");
        break;
      case 8:  // spindle words
        numbered(rng.Below(2) ? "M3" : "M5");
        break;
      default:  // a blank line and a short-word rapid
        addLine("");
        numbered("G0 Z5");
        break;
    }
  }
  return out;
}

// The same program as file text, lines ended by CR LF.
inline std::string GenerateProgramText(long count, uint64_t seed = 1) {
  std::string text;
  for (const auto& line : GenerateProgramLines(count, seed)) {
    text += line;
    text += "\r\n";
  }
  return text;
}

}  // namespace brimo::bench
