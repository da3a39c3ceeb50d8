// VcdWriter: the pulse train on the data register as a Value Change Dump
// (IEEE 1364 VCD), one 1-bit wire per data pin 2..9 in use, for GTKWave,
// PulseView and the like. Times are counter ticks of the simulation clock,
// 1 ns each (`$timescale 1 ns $end`).
//
// Every write to the data register is drawn at its tick: per pulse the
// direction set-up (where an axis reverses), the rise, and the fall a pulse
// width later. With a pulse width of 0 the rise and the fall share a tick, and
// a dump of that would show no step at all, so a write in the same tick as
// the one before it is drawn a nominal width later:
//
//   tick t: PulseByte            t + width: DirByte
//   step  ____|‾‾‾‾‾‾‾‾‾|____________________ next pulse ...
//   dir   ____|‾‾‾‾‾‾‾‾‾‾‾‾‾‾‾‾‾‾‾‾‾‾‾‾‾‾‾‾‾ (stays until the next pulse)
//
// width = kStepHighNs, or half the gap to the next write when that is
// shorter. Only the drawing is shifted; the simulated timing is untouched.
// Written as a stream: nothing is kept per pulse.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

namespace brimo {

struct MachineState;

struct VcdSignal {
  int pin = 0;       // connector pin 2..9
  std::string name;  // its use: "X_step", "X_dir", ... ("X_step_and_Y_dir" when shared)
};

// One signal per data pin that a step or direction line of the settings
// uses, in pin order. Pins outside 2..9 drive nothing and are left out.
std::vector<VcdSignal> VcdSignalsFor(const MachineState& ms);

class VcdWriter {
 public:
  // Nominal time the step line is drawn high, in ns (ticks).
  static constexpr int64_t kStepHighNs = 1000;

  // Writes the header to `out` (which must outlive the writer); all wires
  // start at 0, the data register's value before the first write.
  VcdWriter(std::ostream& out, std::vector<VcdSignal> signals, const std::string& comment);

  // One write of `value` to the data register at `tick`. Ticks must not
  // decrease from one call to the next.
  void Write(int64_t tick, uint8_t value);
  // A pulse without width: the pulse byte, then the direction byte, both at `tick`.
  void Pulse(int64_t tick, uint8_t pulseByte, uint8_t dirByte);

  // Draws the last direction byte and a closing time stamp no earlier than
  // `endTick`, and flushes. False when the stream failed at any point.
  bool Finish(int64_t endTick);

  long Changes() const { return changes_; }  // value changes written

 private:
  void Emit(int64_t tick, uint8_t value);
  void Stamp(int64_t tick);
  void DrawPending(int64_t nextTick, bool haveNext);

  std::ostream& out_;
  std::vector<VcdSignal> signals_;
  std::vector<char> ids_;  // one identifier character per signal
  uint8_t shown_ = 0;      // register value as the dump shows it now
  int64_t stamped_ = -1;   // last time stamp written
  int64_t written_ = -1;   // tick of the last write
  bool pending_ = false;   // a write not yet drawn (it shared its tick)
  int64_t pendingTick_ = 0;
  uint8_t pendingValue_ = 0;
  long changes_ = 0;
};

}  // namespace brimo
