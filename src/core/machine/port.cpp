#include "core/machine/port.h"

#include "core/machine/core.h"
#include "core/machine/pulse_clock.h"

namespace brimo {

// The write itself stays a store and a test; recording (a clock read and a
// vector append) is out of line, so a port that does not record costs the
// pulse almost nothing.
void SimulatedPort::WriteData(uint8_t value) {
  data_ = value;
  if (recording_) Record(value);
}

void SimulatedPort::Record(uint8_t value) {
  int64_t t = 0;
  if (clock_) clock_->Counter(t);
  writes_.push_back({t, value});
}

uint8_t SimulatedPort::ReadStatus() {
  ++statusReads_;
  if (status_.empty()) return 127;  // all switches open
  uint8_t v = status_[next_];
  if (next_ + 1 < status_.size()) ++next_;
  return v;
}

Port* PortLink::Acquire(std::string& why) {
  if (fixed_) return fixed_;
  if (owned_) return owned_.get();
  if (!tried_) {
    tried_ = true;
    why_.clear();
    if (opener_) owned_ = opener_(why_);
    ready_ = owned_.get();
    if (!owned_ && why_.empty()) why_ = "No port driver is available on this system.";
  }
  why = why_;
  return owned_.get();
}

void PortLink::Reset() {
  if (owned_) return;  // an open port stays open
  tried_ = false;
  reported_ = false;
}

void PortLink::Release() {
  if (fixed_) return;
  ready_ = nullptr;
  owned_.reset();  // the backend lets the port go (ppdev: PPRELEASE, close)
  tried_ = false;
  reported_ = false;
}

}  // namespace brimo
