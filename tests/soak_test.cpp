// Soak: a long generated program run online against the simulated port on
// the virtual clock, straight and again with a pause, a jog away and a
// resume at many seeded random points. The paused run must end where the
// straight run ends with the same net steps per axis, and the positions must
// always equal the steps decoded from the bytes written to the port.
//
// Moves are kept short and quick through the window's scale factors (X and
// Y by 1/100, Z by 1/20, the feed by 100), so 100 000 lines stay within
// seconds also in the sanitizer build: a pulse interval below the pump slice
// of a long wait, a few dozen steps per move.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "bench/gen_program.h"
#include "core/control/operator_panels.h"
#include "core/interpreter/run_control.h"
#include "core/program/program_store.h"
#include "support/test_rig.h"

namespace brimo::test {
namespace {

constexpr long kLines = 100'000;
constexpr int kPauses = 200;
constexpr double kUnitsPerStep = 0.01;  // length units per step, every axis
constexpr double kFastRate = 10000;     // length units per minute, every axis

// Net steps per axis (X, Y, Z) decoded from the port's pulse and direction
// bytes with the machine's step masks, direction masks and direction sense.
struct PortDecoder {
  long net[3] = {0, 0, 0};
  size_t next = 0;   // first write not decoded yet
  uint8_t last = 0;  // data register before it

  void Feed(SimulatedPort& port, const MachineState& ms) {
    const auto& w = port.Writes();
    const int stepMask[3] = {ms.StepMaskX, ms.StepMaskY, ms.StepMaskZ};
    const int dirMask[3] = {ms.DirMaskX, ms.DirMaskY, ms.DirMaskZ};
    const int sense[3] = {ms.DirSenseX, ms.DirSenseY, ms.DirSenseZ};
    // As a drive sees it: a step at each rising edge of a step line, in the
    // direction its direction line shows in that write.
    for (; next < w.size(); ++next) {
      const uint8_t rising = w[next].value & ~last;
      for (int a = 0; a < 3; ++a) {
        if ((rising & stepMask[a]) == 0) continue;
        net[a] += (w[next].value & dirMask[a]) ? sense[a] : -sense[a];
      }
      last = w[next].value;
    }
    if (next == w.size() && next > (1u << 16)) {  // keep the record short
      port.ClearWrites();
      next = 0;
    }
  }
};

// Records, as each line is shown before its parse, where the line before it
// ended (program position in whole steps).
class LineEndWindow : public FakeWindow {
 public:
  explicit LineEndWindow(const MachineState& ms) : ms_(ms) {}
  void ShowLineInProgress(const std::string& text) override {
    FakeWindow::ShowLineInProgress(text);
    ends.push_back({std::lround(ms_.PrgX / kUnitsPerStep), std::lround(ms_.PrgY / kUnitsPerStep),
                    std::lround(ms_.PrgZ / kUnitsPerStep)});
  }
  std::vector<std::array<long, 3>> ends;  // one per line shown, in order

 private:
  const MachineState& ms_;
};

// The rig's machine, clock and port with a window that records line ends.
struct SoakRig : TestRig {
  LineEndWindow lineWin{ms};
  Core run{ms, lineWin, clock, link, store, plot};
  PortDecoder decoder;
  long mismatches = 0;  // pumps at which a position differed from the port
  long firstMismatch = 0;

  explicit SoakRig(const std::string& program) {
    UniformAxes(kUnitsPerStep, kFastRate);
    const double scale[4] = {100, 0.01, 0.01, 0.05};  // feed, X and I, Y and J, Z and R
    for (int i = 0; i < 4; ++i) lineWin.scale[i] = scale[i];
    ms.Offline = false;
    LoadProgram(program);
  }
  // Machine position (steps) against the steps decoded from the port; the
  // machine coordinates are zeroed by the start from the beginning, before
  // any pulse.
  bool PositionsMatchPort() {
    decoder.Feed(port, ms);
    const double mach[3] = {ms.MachX, ms.MachY, ms.MachZ};
    for (int a = 0; a < 3; ++a)
      if (std::fabs(mach[a] - decoder.net[a] * kUnitsPerStep) > 1e-6) return false;
    return true;
  }
  void CheckAtPump() {
    if (!PositionsMatchPort() && mismatches++ == 0) firstMismatch = lineWin.pumps;
  }
  bool Finished() const { return ms.CurrentLine > store.LineCount; }
};

struct End {
  double prg[3], mach[3];
  long net[3];
};

End EndOf(SoakRig& r) {
  EXPECT_TRUE(r.PositionsMatchPort());
  return End{{r.ms.PrgX, r.ms.PrgY, r.ms.PrgZ},
             {r.ms.MachX, r.ms.MachY, r.ms.MachZ},
             {r.decoder.net[0], r.decoder.net[1], r.decoder.net[2]}};
}

TEST(Soak, PausesJogsAndResumesEndWhereTheStraightRunEnds) {
  const std::string program = bench::GenerateProgramText(kLines, 12);

  // Straight.
  SoakRig straight(program);
  long straightPumps = 0;
  straight.lineWin.onPump = [&](long) {
    ++straightPumps;
    straight.CheckAtPump();
  };
  Execute(straight.run);
  ASSERT_TRUE(straight.Finished());
  const End s = EndOf(straight);
  EXPECT_EQ(straight.mismatches, 0) << "first at pump " << straight.firstMismatch;
  ASSERT_GT(straightPumps, kPauses * 10);

  // Paused: the pause points count only the pumps of the run itself (its
  // moves and the returns of its resumes), not those of the jogs.
  std::mt19937_64 rng(2026);
  std::vector<long> at;
  std::uniform_int_distribution<long> pick(1, straightPumps);
  while (static_cast<int>(at.size()) < kPauses) {
    at.push_back(pick(rng));
    std::sort(at.begin(), at.end());
    at.erase(std::unique(at.begin(), at.end()), at.end());
  }
  SoakRig paused(program);
  long runPumps = 0;
  size_t nextPause = 0;
  bool jogging = false;
  paused.lineWin.onPump = [&](long) {
    paused.CheckAtPump();
    if (jogging) return;
    ++runPumps;
    if (nextPause < at.size() && runPumps == at[nextPause]) {
      ++nextPause;
      Pause(paused.run);
    }
  };
  Execute(paused.run);
  int stops = 0;
  std::uniform_int_distribution<int> button(1, 6), pulses(1, 12);
  while (!paused.Finished() && stops <= kPauses + 10) {
    ++stops;
    ASSERT_TRUE(paused.ms.StopRecordFilled() || paused.ms.HaltValid())
        << "line " << paused.ms.CurrentLine;
    EXPECT_TRUE(paused.PositionsMatchPort()) << "stop " << stops;
    // Jog away: a few single steps on random buttons.
    jogging = true;
    for (int k = pulses(rng); k > 0; --k) Jog(paused.run, button(rng), kLeftButton, JogSpeed::Step);
    jogging = false;
    EXPECT_TRUE(paused.PositionsMatchPort()) << "jog " << stops;
    Execute(paused.run);
  }
  ASSERT_TRUE(paused.Finished());
  EXPECT_EQ(nextPause, at.size());
  EXPECT_GE(stops, kPauses);
  EXPECT_EQ(paused.mismatches, 0) << "first at pump " << paused.firstMismatch;
  // Every line ended on the very step the straight run ended it on.
  ASSERT_EQ(paused.lineWin.ends.size(), straight.lineWin.ends.size());
  for (size_t i = 0; i < straight.lineWin.ends.size(); ++i)
    ASSERT_EQ(paused.lineWin.ends[i], straight.lineWin.ends[i]) << "before line " << i + 1;
  const End p = EndOf(paused);
  for (int a = 0; a < 3; ++a) {
    EXPECT_EQ(p.net[a], s.net[a]) << "axis " << a;
    EXPECT_NEAR(p.prg[a], s.prg[a], 1e-6) << "axis " << a;
    EXPECT_NEAR(p.mach[a], s.mach[a], 1e-6) << "axis " << a;
  }
}

}  // namespace
}  // namespace brimo::test
