// Linux parallel port access: ppdev first (works for members of the "lp"
// group, no root), else direct I/O at the configured base address (data;
// status at base + 1, control at base + 2) with ioperm (x86, root).
#if defined(__linux__)

#include <fcntl.h>
#include <linux/parport.h>
#include <linux/ppdev.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#if defined(__x86_64__) || defined(__i386__)
#include <sys/io.h>
#define BRIMO_HAVE_DIRECT_IO 1
#endif

#include "core/machine/port.h"
#include "core/machine/settings_form.h"

namespace brimo {
namespace {

class PpdevPort final : public Port {
 public:
  explicit PpdevPort(int fd) : fd_(fd) {}
  ~PpdevPort() override {
    ioctl(fd_, PPRELEASE);
    close(fd_);
  }
  void WriteData(uint8_t value) override {
    unsigned char v = value;
    ioctl(fd_, PPWDATA, &v);
  }
  uint8_t ReadStatus() override {
    unsigned char v = 0;
    ioctl(fd_, PPRSTATUS, &v);
    return v;
  }

 private:
  int fd_;
};

#ifdef BRIMO_HAVE_DIRECT_IO
class DirectIoPort final : public Port {
 public:
  explicit DirectIoPort(unsigned base) : base_(base) {}
  ~DirectIoPort() override { ioperm(base_, 3, 0); }
  void WriteData(uint8_t value) override { outb(value, base_); }
  uint8_t ReadStatus() override { return inb(base_ + 1); }

 private:
  unsigned base_;
};

#endif

std::unique_ptr<Port> OpenPpdev(const std::string& device, std::string& why) {
  int fd = open(device.c_str(), O_RDWR);
  if (fd < 0) {
    int e = errno;
    if (e == ENOENT || e == ENODEV || e == ENXIO)
      why = device +
            " does not exist: this computer has no parallel port, or the ppdev and "
            "parport_pc kernel modules are not loaded (modprobe ppdev parport_pc).";
    else if (e == EACCES || e == EPERM)
      why = "No permission to open " + device +
            ": add your user to the \"lp\" group "
            "(sudo adduser $USER lp) and log in again.";
    else
      why = device + " could not be opened: " + std::strerror(e) + ".";
    return nullptr;
  }
  if (ioctl(fd, PPCLAIM) < 0) {
    int e = errno;
    close(fd);
    why = device + " could not be claimed (" + std::strerror(e) +
          "); another program (a printer spooler?) may be using the port.";
    return nullptr;
  }
  return std::make_unique<PpdevPort>(fd);
}

}  // namespace

std::unique_ptr<Port> OpenHardwarePort(const PortAddress& where, std::string& why) {
  std::string ppdevWhy;
  if (auto p = OpenPpdev(where.device.empty() ? PortAddress{}.device : where.device, ppdevWhy))
    return p;
#ifdef BRIMO_HAVE_DIRECT_IO
  // Direct I/O needs the I/O permission of root; fall back to it only when
  // ppdev is not available.
  const unsigned base = where.base;
  if (base + 2 <= 0xFFFF && ioperm(base, 3, 1) == 0) {
    // Nothing decodes these addresses when no port is fitted: every read
    // gives 0xFF. Only reads here: a test write would pulse the drives.
    if (inb(base) == 0xFF && inb(base + 1) == 0xFF && inb(base + 2) == 0xFF) {
      ioperm(base, 3, 0);
      why = ppdevWhy + " No parallel port answers at " + FormatPortBase(base) + " either.";
      return nullptr;
    }
    return std::make_unique<DirectIoPort>(base);
  }
  why = ppdevWhy + " Direct port access at " + FormatPortBase(base) + " is not possible either (" +
        std::strerror(errno) + "; it needs root on a machine that allows it).";
#else
  why = ppdevWhy;
#endif
  return nullptr;
}

}  // namespace brimo

#endif  // __linux__
