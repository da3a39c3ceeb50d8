#include "core/sim/vcd_writer.h"

#include <charconv>
#include <limits>
#include <string_view>

#include "core/machine/machine_state.h"

namespace brimo {

std::vector<VcdSignal> VcdSignalsFor(const MachineState& ms) {
  struct Use {
    const std::string* pin;
    const char* name;
  };
  const Use uses[6] = {{&ms.StepPinX, "X_step"}, {&ms.DirPinX, "X_dir"},   {&ms.StepPinY, "Y_step"},
                       {&ms.DirPinY, "Y_dir"},   {&ms.StepPinZ, "Z_step"}, {&ms.DirPinZ, "Z_dir"}};
  std::vector<VcdSignal> out;
  for (int pin = 2; pin <= 9; ++pin) {
    const int mask = 1 << (pin - 2);
    std::string name;
    for (const Use& u : uses) {
      if (PinMask(*u.pin) != mask) continue;
      if (!name.empty()) name += "_and_";
      name += u.name;
    }
    if (!name.empty()) out.push_back({pin, name});
  }
  return out;
}

VcdWriter::VcdWriter(std::ostream& out, std::vector<VcdSignal> signals, const std::string& comment)
    : out_(out), signals_(std::move(signals)) {
  // Identifier codes: printable characters, leaving out '#' and '$' (which
  // open time stamps and keywords) so that no reader can mistake them.
  static constexpr char kIds[] = "!\"%&'()*";
  for (size_t i = 0; i < signals_.size() && i < 8; ++i) ids_.push_back(kIds[i]);
  std::string head;
  if (!comment.empty()) head += "$comment " + comment + " $end\n";
  head += "$version BrimoCNC " BRIMO_VERSION " $end\n";
  head += "$timescale 1 ns $end\n";
  head += "$scope module parport $end\n";
  for (size_t i = 0; i < signals_.size(); ++i)
    head += std::string("$var wire 1 ") + ids_[i] + " " + signals_[i].name + " $end\n";
  head += "$upscope $end\n$enddefinitions $end\n#0\n$dumpvars\n";
  for (char id : ids_) head += std::string("0") + id + "\n";
  head += "$end\n";
  out_ << head;
  stamped_ = 0;
}

void VcdWriter::Stamp(int64_t tick) {
  if (tick == stamped_) return;
  char buf[24];
  buf[0] = '#';
  auto r = std::to_chars(buf + 1, buf + sizeof buf - 1, tick);
  *r.ptr++ = '\n';
  out_.write(buf, r.ptr - buf);
  stamped_ = tick;
}

void VcdWriter::Emit(int64_t tick, uint8_t value) {
  const uint8_t changed = value ^ shown_;
  if (changed == 0) return;
  char buf[3 * 8];
  size_t n = 0;
  for (size_t i = 0; i < signals_.size(); ++i) {
    const uint8_t bit = static_cast<uint8_t>(1u << (signals_[i].pin - 2));
    if (!(changed & bit)) continue;
    buf[n++] = (value & bit) ? '1' : '0';
    buf[n++] = ids_[i];
    buf[n++] = '\n';
  }
  shown_ = value;
  if (n == 0) return;  // only bits no signal shows
  Stamp(tick);
  out_.write(buf, static_cast<std::streamsize>(n));
  changes_ += static_cast<long>(n / 3);
}

void VcdWriter::DrawPending(int64_t nextTick, bool haveNext) {
  if (!pending_) return;
  pending_ = false;
  // At the counter's last tick (a clock that ran 292 years) the step stays high.
  int64_t at = pendingTick_ > std::numeric_limits<int64_t>::max() - kStepHighNs
                   ? std::numeric_limits<int64_t>::max()
                   : pendingTick_ + kStepHighNs;
  // Before the next pulse, so the dump's times keep increasing.
  if (haveNext && at > pendingTick_ + (nextTick - pendingTick_) / 2)
    at = pendingTick_ + (nextTick - pendingTick_) / 2;
  Emit(at, pendingValue_);
}

void VcdWriter::Write(int64_t tick, uint8_t value) {
  DrawPending(tick, true);
  if (tick == written_) {
    pending_ = true;
    pendingTick_ = tick;
    pendingValue_ = value;
  } else {
    Emit(tick, value);
  }
  written_ = tick;
}

void VcdWriter::Pulse(int64_t tick, uint8_t pulseByte, uint8_t dirByte) {
  Write(tick, pulseByte);
  Write(tick, dirByte);
}

bool VcdWriter::Finish(int64_t endTick) {
  DrawPending(0, false);
  if (endTick > stamped_) Stamp(endTick);
  out_.flush();
  return static_cast<bool>(out_);
}

}  // namespace brimo
