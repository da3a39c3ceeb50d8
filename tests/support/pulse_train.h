// PulseTrain: the pulses in a simulated port's recorded writes. A pulse is
// its rising write (step and direction lines) followed by its falling write
// (direction lines alone). A direction set-up write (direction lines alone,
// no step line) right before a rise that carries step lines belongs to that
// pulse.
#pragma once

#include <cstdint>
#include <vector>

#include "core/machine/port.h"

namespace brimo::test {

struct TrainPulse {
  int64_t rise = 0, fall = 0;  // ticks of the two writes
  int step = 0;                // byte of the rising write
  int dir = 0;                 // byte of the falling write
  bool setup = false;          // the direction lines were written alone first
  int64_t setupTick = 0;
  int setupByte = 0;
};

// Step pins of the test rig: X 3, Y 5, Z 7.
inline constexpr int kRigStepMask = 2 | 8 | 32;

inline std::vector<TrainPulse> PulseTrain(const SimulatedPort& port, int stepMask = kRigStepMask) {
  const auto& w = port.Writes();
  std::vector<TrainPulse> out;
  for (size_t i = 0; i + 1 < w.size();) {
    TrainPulse p;
    if (!(w[i].value & stepMask) && (w[i + 1].value & stepMask) && i + 2 < w.size()) {
      p.setup = true;
      p.setupTick = w[i].tick;
      p.setupByte = w[i].value;
      ++i;
    }
    p.rise = w[i].tick, p.step = w[i].value;
    p.fall = w[i + 1].tick, p.dir = w[i + 1].value;
    out.push_back(p);
    i += 2;
  }
  return out;
}

// Ticks between successive rising writes.
inline std::vector<int64_t> RiseIntervals(const SimulatedPort& port) {
  const std::vector<TrainPulse> t = PulseTrain(port);
  std::vector<int64_t> out;
  for (size_t i = 1; i < t.size(); ++i) out.push_back(t[i].rise - t[i - 1].rise);
  return out;
}

}  // namespace brimo::test
