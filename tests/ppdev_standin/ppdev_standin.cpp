// A stand-in ppdev device for tests, loaded with LD_PRELOAD: it answers the
// system calls of the Linux port backend for ONE device path and passes
// every other path and descriptor to the real calls.
//
//   BRIMO_STANDIN_DEVICE  the device path it answers for (required)
//   BRIMO_STANDIN_LOG     file that receives one line per event: "open",
//                         "claim", "w <byte> <CLOCK_MONOTONIC ns>", "status
//                         <byte>", "release", "close"
//   BRIMO_STANDIN_STATUS  the status byte PPRSTATUS gives (default 127: no
//                         switch active)
//   BRIMO_STANDIN_FAIL    read at each open: "missing" (open fails ENOENT),
//                         "denied" (EACCES), "busy" (PPCLAIM fails EBUSY)
//
// ioperm always fails with EPERM, so the direct I/O fallback the backend
// tries after a failed ppdev open never reaches a real I/O port (test
// machines run as root, and a VM may emulate a port at 0x378).
//
// Built without _FORTIFY_SOURCE, so its own definitions of open and open64
// are not the fortified inline wrappers; __open_2 and __open64_2 are
// answered too, for a backend built with it.
#include <dlfcn.h>
#include <fcntl.h>
#include <linux/ioctl.h>
#include <linux/ppdev.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

int g_fd = -1;   // the descriptor handed out for the device, -1 when closed
int g_log = -1;  // the log file while the device is open

template <typename Fn>
Fn Real(const char* name) {
  return reinterpret_cast<Fn>(dlsym(RTLD_NEXT, name));
}

using OpenFn = int (*)(const char*, int, ...);
using CloseFn = int (*)(int);
using IoctlFn = int (*)(int, unsigned long, ...);

bool IsDevice(const char* path) {
  const char* device = std::getenv("BRIMO_STANDIN_DEVICE");
  return device && path && std::strcmp(device, path) == 0;
}

bool Failing(const char* mode) {
  const char* fail = std::getenv("BRIMO_STANDIN_FAIL");
  return fail && std::strcmp(fail, mode) == 0;
}

void Log(const std::string& line) {
  if (g_log < 0) return;
  const std::string text = line + "\n";
  if (write(g_log, text.data(), text.size()) < 0) std::perror("ppdev stand-in log");
}

int OpenDevice() {
  if (Failing("missing")) return errno = ENOENT, -1;
  if (Failing("denied")) return errno = EACCES, -1;
  static const OpenFn realOpen = Real<OpenFn>("open");
  // A real descriptor, so the number is never another file's.
  g_fd = realOpen("/dev/null", O_RDWR);
  if (const char* log = std::getenv("BRIMO_STANDIN_LOG"))
    g_log = realOpen(log, O_WRONLY | O_CREAT | O_APPEND, 0644);
  Log("open");
  return g_fd;
}

int Open(const char* name, const char* path, int flags, va_list args) {
  if (IsDevice(path)) return OpenDevice();
  mode_t mode = (flags & (O_CREAT | O_TMPFILE)) ? va_arg(args, mode_t) : 0;
  return Real<OpenFn>(name)(path, flags, mode);
}

long long NowNs() {
  timespec t{};
  clock_gettime(CLOCK_MONOTONIC, &t);
  return t.tv_sec * 1'000'000'000LL + t.tv_nsec;
}

}  // namespace

extern "C" {

// Tells a test that the stand-in is loaded.
int brimo_ppdev_standin() { return 1; }

int open(const char* path, int flags, ...) {
  va_list args;
  va_start(args, flags);
  int fd = Open("open", path, flags, args);
  va_end(args);
  return fd;
}

int open64(const char* path, int flags, ...) {
  va_list args;
  va_start(args, flags);
  int fd = Open("open64", path, flags, args);
  va_end(args);
  return fd;
}

int __open_2(const char* path, int flags) {
  return IsDevice(path) ? OpenDevice() : Real<int (*)(const char*, int)>("__open_2")(path, flags);
}

int __open64_2(const char* path, int flags) {
  return IsDevice(path) ? OpenDevice() : Real<int (*)(const char*, int)>("__open64_2")(path, flags);
}

int close(int fd) {
  static const CloseFn realClose = Real<CloseFn>("close");
  if (fd >= 0 && fd == g_fd) {
    Log("close");
    if (g_log >= 0) realClose(g_log);
    g_log = g_fd = -1;
  }
  return realClose(fd);
}

int ioctl(int fd, unsigned long request, ...) {
  va_list args;
  va_start(args, request);
  void* arg = va_arg(args, void*);
  va_end(args);
  if (fd < 0 || fd != g_fd) return Real<IoctlFn>("ioctl")(fd, request, arg);
  switch (request) {
    case PPCLAIM:
      if (Failing("busy")) return errno = EBUSY, -1;
      Log("claim");
      return 0;
    case PPRELEASE:
      Log("release");
      return 0;
    case PPWDATA: {
      const long long ns = NowNs();
      Log("w " + std::to_string(*static_cast<unsigned char*>(arg)) + " " + std::to_string(ns));
      return 0;
    }
    case PPRSTATUS: {
      const char* status = std::getenv("BRIMO_STANDIN_STATUS");
      auto* byte = static_cast<unsigned char*>(arg);
      *byte = static_cast<unsigned char>(status ? std::atoi(status) : 127);
      Log("status " + std::to_string(*byte));
      return 0;
    }
    default:
      return errno = EINVAL, -1;
  }
}

int ioperm(unsigned long, unsigned long, int) { return errno = EPERM, -1; }

}  // extern "C"
