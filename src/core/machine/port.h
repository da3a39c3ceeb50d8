// Parallel port access: the controller's only boundary to the drives.
//
// Data register (base, 0x378 by default): step and direction lines on pins
// 2..9 (bits 0..7). Status register (base + 1): the four switch inputs,
// decoded as a whole byte.
//
// One pulse on the data register (times in counter ticks; w = the "Pulse
// Width" setting, PulseWidthUs, default 5 us):
//
//        DirByte alone      PulseByte         DirByte
//        (reversal only)    at the due time   w later
//               |                 |                 |
//   step  ______:_________________|‾‾‾‾‾‾‾‾‾‾‾‾‾‾‾‾‾|____________________
//   dir   ______|‾‾‾‾‾‾‾‾‾‾‾‾‾‾‾‾‾‾‾‾‾‾‾‾‾‾‾‾‾‾‾‾‾‾‾‾‾‾‾‾‾‾‾‾‾‾‾‾‾‾‾‾‾‾‾  (until the next pulse)
//               |<------ >= w --->|<------ w ------>|
//                                 ^ LastPulseTime stamped after the rise
//
// The step lines stay high for w. When a stepping axis's direction line
// would change with its step edge (a reversal, or the first pulse, when the
// line's level is not known), the direction byte is written alone at least w
// before the rise, inside the preceding low time, so the rise keeps its due
// time. A rate whose interval is shorter than 2 w is refused (StepRateUsable),
// so every pulse has room for both. With w = 0 a pulse is two back-to-back
// writes, the step line high only as long as they take.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace brimo {

class Port {
 public:
  virtual ~Port() = default;
  virtual void WriteData(uint8_t value) = 0;  // data register
  virtual uint8_t ReadStatus() = 0;           // status register
};

// Records every data write with the counter time at which it was made, and
// plays back a scripted sequence of status bytes (the last one repeats; 127,
// no switch active, when nothing is scripted).
class Clock;
class SimulatedPort final : public Port {
 public:
  struct Write {
    int64_t tick;
    uint8_t value;
  };
  explicit SimulatedPort(Clock* clock = nullptr) : clock_(clock) {}
  void WriteData(uint8_t value) override;
  uint8_t ReadStatus() override;

  void ScriptStatus(std::vector<uint8_t> bytes) { status_ = std::move(bytes), next_ = 0; }
  const std::vector<Write>& Writes() const { return writes_; }
  void ClearWrites() { writes_.clear(); }
  // Room for n writes, so recording never allocates inside a timed run.
  void Reserve(size_t n) { writes_.reserve(n); }
  uint8_t DataRegister() const { return data_; }
  // When false, writes are not recorded (benchmarks of long runs).
  void SetRecording(bool on) { recording_ = on; }
  long StatusReads() const { return statusReads_; }

 private:
  [[gnu::noinline]] void Record(uint8_t value);
  Clock* clock_;
  std::vector<Write> writes_;
  std::vector<uint8_t> status_;
  size_t next_ = 0;
  uint8_t data_ = 0;
  bool recording_ = true;
  long statusReads_ = 0;
};

// Which parallel port: the ppdev device (Linux) and the I/O address of the
// data register for direct I/O and InpOut32 (the status register is at
// base + 1). The defaults are the first on-board port; PCI Express cards sit
// elsewhere (0xD010, 0xE800, ...), a second port is /dev/parport1.
struct PortAddress {
  std::string device = "/dev/parport0";
  unsigned base = 0x378;
};

// Opens the real port of this platform: on Linux ppdev at `where.device`,
// else direct I/O at `where.base` (x86, root); on Windows InpOut32 loaded at
// run time, at `where.base`. Returns null and fills `why` with a plain-words
// reason, naming the device or address tried, when no port can be opened.
std::unique_ptr<Port> OpenHardwarePort(const PortAddress& where, std::string& why);

}  // namespace brimo
