// VcdWriter: the pulse train on the data register as a Value Change Dump
// (IEEE 1364 VCD), one 1-bit wire per data pin 2..9 in use, for GTKWave,
// PulseView and the like. Times are counter ticks of the simulation clock,
// 1 ns each (`$timescale 1 ns $end`).
//
// The data register changes twice per pulse, in the same tick of the
// simulation clock (the real step line is high only for as long as two
// back-to-back port writes take). A dump of that would show no step at all,
// so the direction byte is drawn a nominal width later:
//
//   tick t: PulseByte            t + width: DirByte
//   step  ____|‾‾‾‾‾‾‾‾‾|____________________ next pulse ...
//   dir   ____|‾‾‾‾‾‾‾‾‾‾‾‾‾‾‾‾‾‾‾‾‾‾‾‾‾‾‾‾‾ (stays until the next pulse)
//
// width = kStepHighNs, or half the gap to the next pulse when that is
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

  // One pulse: the pulse byte written at `tick`, then the direction byte.
  // Ticks must not decrease from one call to the next.
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
  bool pending_ = false;   // a direction byte not yet drawn
  int64_t pendingTick_ = 0;
  uint8_t pendingValue_ = 0;
  long changes_ = 0;
};

}  // namespace brimo
