// Pulse pacing on the real steady clock, three ways, interleaved in one
// process so that whatever else the machine is doing hits all three alike:
//
//   bare    a busy-wait loop on std::chrono::steady_clock that writes the
//           simulated port on an absolute schedule (with the step loop's
//           catch-up rule), step lines high for the pulse width: the best a
//           loop can do;
//   core    the core running the program with a no-op window (QuietWindow),
//           on SteadyClock + SimulatedPort;
//   window  the full window (AppContext on the same clock and port), online,
//           the live plot visible, per-line displays on ("Update On/Off"
//           unticked), a 785 px plot (--plot), started by clicking
//           "Execute Program" once the window's run-time estimate of the
//           program is ready, and waited for while the window handles its
//           events.
//
// Cells: 1 k, 10 k, 50 k, 100 k and 200 k steps/s, each with two programs:
// long straight moves (a rectangle, a quarter of the run per side) and
// CAM-like short lines (0.1 to 2 mm along X, Y or a 45 degree diagonal, in
// random directions, so many reversals). Within a cell the paths take turns:
// bare, core, window, bare, core, window, ... (--rounds of each).
//
// Settings (brimo.cfg in a temporary program folder): 400 steps per turn and
// 4 mm per turn on every axis, so one step is 0.01 mm and the feed F (mm/min)
// of N steps/s is N * 0.6; rapid rates far above every feed, so no feed is
// capped; "Pulse Width" 2 us (the interval at 200 kHz is 5 us).
//
// What is measured: the time between RISING step edges (a write in which a
// step bit goes from 0 to 1; falling writes and lone direction writes are
// passed over). The commanded interval after a pulse that stepped X and Y
// together is the plain one divided by 0.707. The first edge of each run
// opens its series; nothing else is left out: the schedule carries across
// the lines of a run, so a late first pulse of a line is a real fault.
// Per cell and path: p50 / p99 / p99.9 / max of |measured - commanded| (us),
// the mean rate error (commanded time over measured time, minus 1), and the
// ratios of core and window to bare. Goals: the window within 1.5x of the
// bare p99 and p99.9 (within 2 us where the bare figure is below the clock's
// resolution), its mean rate within 0.05 % of commanded; 200 kHz sustained
// (both 200 k cells pass).
//
// Usage:
//   bench_pulse_pacing [--platform offscreen|xcb] [--seconds S | --long]
//                      [--rounds N] [--rates 1000,10000] [--programs long,short]
//                      [--paths bare,core,window] [--timeout S] [--plot PX]
//                      [--resolution NS]
//   bench/pulse_pacing.sh [bench binary] [options]   both platforms, at
//                      real-time priority (chrt -f 50) where permitted
// --long runs 10 s per run (a real-time thread that spins is throttled once
// a second, so short runs miss that gap). A run that has not ended by its
// timeout is paused and its cell reported FAILED; a run that does not even
// stop then ends the bench (exit code 3) rather than hanging.
//
// X display notes (--platform xcb):
// - With DISPLAY set and a server answering there, the bench uses it.
// - Otherwise it starts Xvfb itself (`Xvfb -displayfd N -screen 0
//   1280x1024x24 -nolisten tcp -terminate`, on the first free display
//   number, at normal scheduling priority even when the bench runs at
//   real-time priority) and ends it when the bench ends (a bench killed
//   outright leaves it to end itself when its last client goes). That
//   server has no authorization file: only local clients can reach it, and
//   XAUTHORITY is not needed.
// - To use a server of your own instead:
//     Xvfb :99 -screen 0 1280x1024x24 -nolisten tcp &
//     DISPLAY=:99 bench_pulse_pacing --platform xcb
//   or, with a cookie (xvfb-run calls xauth to write one; both packages are
//   needed, e.g. apt-get install xvfb xauth):
//     xvfb-run -a -s "-screen 0 1280x1024x24" bench_pulse_pacing --platform xcb
//   A server started with `-auth FILE` needs XAUTHORITY=FILE holding its
//   cookie (`xauth -f FILE add :99 . $(mcookie)` before starting it).
#include <fcntl.h>
#include <netdb.h>
#include <poll.h>
#include <sched.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QWindow>
#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "core/interpreter/draw_program.h"
#include "core/interpreter/run_control.h"
#include "core/machine/config_file.h"
#include "core/machine/core.h"
#include "core/machine/messages.h"
#include "core/machine/port.h"
#include "core/machine/quiet_window.h"
#include "core/machine/settings_form.h"
#include "core/plot/plot_geometry.h"
#include "core/plot/plot_state.h"
#include "core/plot/toolpath.h"
#include "core/program/program_store.h"
#include "gui/console/app_context.h"
#include "gui/console/control_panel.h"
#include "gui/console/main_window.h"
#include "gui/console/panels.h"
#include "gui/console/position_strip.h"
#include "gui/plot/path_view.h"

using namespace brimo;

extern char** environ;

namespace {

using SteadyTime = std::chrono::steady_clock;

constexpr double kUnitsPerStep = 0.01;  // mm: 4 mm lead / 400 steps per turn
constexpr double kPulseWidthUs = 2;     // "Pulse Width" setting
constexpr double kDiagonal = 0.707;     // the interval after an X+Y pulse is stretched by 1/0.707
constexpr double kRatioGoal = 1.5;      // window p99 and p99.9 at most 1.5x the bare loop's
constexpr double kSlackUs = 2;          // or 2 us above it, where bare is below clock resolution
constexpr double kRateGoalPercent = 0.05;

// ---- Options ----------------------------------------------------------------------------------

struct Options {
  std::string platform = "offscreen";
  double seconds = 2;  // per run
  int rounds = 2;      // runs of each path per cell
  std::vector<double> rates{1000, 10000, 50000, 100000, 200000};
  bool longProgram = true, shortProgram = true;
  bool bare = true, core = true, window = true;
  double timeout = 0;       // per run, seconds; 0: from the run's length
  int plotPx = 785;         // the plot's side, as on a full-height desktop window
  double resolutionNs = 0;  // the clock's resolution for the goals; 0: measured
};

std::vector<std::string> SplitList(const std::string& s) {
  std::vector<std::string> out;
  size_t b = 0;
  while (b <= s.size()) {
    size_t e = s.find(',', b);
    if (e == std::string::npos) e = s.size();
    if (e > b) out.push_back(s.substr(b, e - b));
    b = e + 1;
  }
  return out;
}

[[noreturn]] void Usage(const char* why) {
  std::fprintf(stderr,
               "%s\nusage: bench_pulse_pacing [--platform offscreen|xcb] [--seconds S | --long] "
               "[--rounds N]\n  [--rates 1000,10000,...] [--programs long,short] "
               "[--paths bare,core,window] [--timeout S] [--plot PX]\n  [--resolution NS]\n",
               why);
  std::exit(2);
}

Options ParseOptions(int argc, char** argv) {
  Options o;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    auto value = [&]() -> std::string {
      if (i + 1 >= argc) Usage(("missing value after " + a).c_str());
      return argv[++i];
    };
    if (a == "--platform") {
      o.platform = value();
      if (o.platform != "offscreen" && o.platform != "xcb") Usage("platform: offscreen or xcb");
    } else if (a == "--seconds") {
      o.seconds = std::atof(value().c_str());
    } else if (a == "--long") {
      o.seconds = std::max(o.seconds, 10.0);
    } else if (a == "--rounds") {
      o.rounds = std::max(1, std::atoi(value().c_str()));
    } else if (a == "--rates") {
      o.rates.clear();
      for (const auto& r : SplitList(value())) o.rates.push_back(std::atof(r.c_str()));
    } else if (a == "--programs") {
      o.longProgram = o.shortProgram = false;
      for (const auto& p : SplitList(value())) {
        if (p == "long")
          o.longProgram = true;
        else if (p == "short")
          o.shortProgram = true;
        else
          Usage("programs: long, short");
      }
    } else if (a == "--paths") {
      o.bare = o.core = o.window = false;
      for (const auto& p : SplitList(value())) {
        if (p == "bare")
          o.bare = true;
        else if (p == "core")
          o.core = true;
        else if (p == "window")
          o.window = true;
        else
          Usage("paths: bare, core, window");
      }
    } else if (a == "--plot") {
      o.plotPx = std::max(100, std::atoi(value().c_str()));
    } else if (a == "--resolution") {
      o.resolutionNs = std::atof(value().c_str());
    } else if (a == "--timeout") {
      o.timeout = std::atof(value().c_str());
    } else if (a == "--help" || a == "-h") {
      Usage("");
    } else {
      Usage(("unknown option " + a).c_str());
    }
  }
  if (!(o.seconds > 0)) Usage("seconds must be positive");
  for (double r : o.rates)
    if (!(r > 0) || 1e6 / r < 2 * kPulseWidthUs) Usage("each rate: above 0, at most 250000");
  return o;
}

// ---- Xvfb ---------------------------------------------------------------------------------------

pid_t g_xvfb = 0;       // the X server this bench started, if any
std::string g_xvfbLog;  // its output, removed when it ends cleanly

void StopXvfb() {
  if (g_xvfb <= 0) return;
  kill(g_xvfb, SIGTERM);
  for (int i = 0; i < 60; ++i) {  // up to 3 s
    if (waitpid(g_xvfb, nullptr, WNOHANG) == g_xvfb) {
      g_xvfb = 0;
      if (!g_xvfbLog.empty()) unlink(g_xvfbLog.c_str());
      return;
    }
    usleep(50000);
  }
  kill(g_xvfb, SIGKILL);
  waitpid(g_xvfb, nullptr, 0);
  g_xvfb = 0;
}

extern "C" void OnSignal(int sig) {
  if (g_xvfb > 0) {
    kill(g_xvfb, SIGTERM);
    int i = 0;
    while (waitpid(g_xvfb, nullptr, WNOHANG) == 0 && ++i < 40) usleep(50000);
    if (i >= 40) kill(g_xvfb, SIGKILL), waitpid(g_xvfb, nullptr, 0);
  }
  if (!g_xvfbLog.empty()) unlink(g_xvfbLog.c_str());
  _exit(128 + sig);
}

// True when an X server accepts a connection at `display` (":N", ":N.S",
// "unix:N", "host:N"); only the socket is tried, not the protocol.
bool DisplayAnswers(const std::string& display) {
  const size_t colon = display.rfind(':');
  if (colon == std::string::npos) return false;
  const std::string host = display.substr(0, colon);
  const int number = std::atoi(display.c_str() + colon + 1);
  if (host.empty() || host == "unix") {
    const std::string path = "/tmp/.X11-unix/X" + std::to_string(number);
    for (bool abstract : {true, false}) {  // Linux servers listen on both
      const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
      if (fd < 0) return false;
      sockaddr_un addr{};
      addr.sun_family = AF_UNIX;
      std::memcpy(addr.sun_path + (abstract ? 1 : 0), path.c_str(), path.size());
      const socklen_t len = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + path.size() +
                                                   (abstract ? 1 : 0));
      const bool ok = connect(fd, reinterpret_cast<sockaddr*>(&addr), len) == 0;
      close(fd);
      if (ok) return true;
    }
    return false;
  }
  addrinfo hints{}, *res = nullptr;
  hints.ai_socktype = SOCK_STREAM;
  if (getaddrinfo(host.c_str(), std::to_string(6000 + number).c_str(), &hints, &res) != 0)
    return false;
  bool ok = false;
  for (addrinfo* a = res; a && !ok; a = a->ai_next) {
    const int fd = socket(a->ai_family, a->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) continue;
    if (connect(fd, a->ai_addr, a->ai_addrlen) == 0) {
      ok = true;
    } else if (errno == EINPROGRESS) {
      pollfd p{fd, POLLOUT, 0};
      int err = 0;
      socklen_t el = sizeof err;
      ok = poll(&p, 1, 2000) == 1 && getsockopt(fd, SOL_SOCKET, SO_ERROR, &err, &el) == 0 &&
           err == 0;
    }
    close(fd);
  }
  freeaddrinfo(res);
  return ok;
}

// Starts Xvfb on the first free display number and waits until it listens.
// Returns the display (":N"), or "" with `why`.
std::string StartXvfb(std::string& why) {
  int fds[2];
  if (pipe(fds) != 0) return why = "pipe failed", "";
  fcntl(fds[0], F_SETFD, FD_CLOEXEC);
  const std::string log = "/tmp/bench_pulse_pacing_xvfb." + std::to_string(getpid()) + ".log";
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_adddup2(&actions, 1, 2);
  // A desktop's X server does not run at real-time priority: when the bench
  // runs under chrt, its server must not inherit that.
  posix_spawnattr_t attr;
  posix_spawnattr_init(&attr);
  sched_param sp{};
  sp.sched_priority = 0;
  posix_spawnattr_setschedpolicy(&attr, SCHED_OTHER);
  posix_spawnattr_setschedparam(&attr, &sp);
  posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSCHEDULER);
  const std::string fd = std::to_string(fds[1]);
  const char* args[] = {"Xvfb",         "-displayfd", fd.c_str(), "-screen",    "0",
                        "1280x1024x24", "-nolisten",  "tcp",      "-terminate", nullptr};
  pid_t pid = 0;
  const int rc =
      posix_spawnp(&pid, "Xvfb", &actions, &attr, const_cast<char* const*>(args), environ);
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attr);
  close(fds[1]);
  if (rc != 0) {
    close(fds[0]);
    why = std::string("cannot start Xvfb: ") + std::strerror(rc);
    return "";
  }
  g_xvfb = pid;
  g_xvfbLog = log;
  // Xvfb writes the display number once it listens.
  std::string number;
  const auto until = SteadyTime::now() + std::chrono::seconds(15);
  while (SteadyTime::now() < until) {
    pollfd p{fds[0], POLLIN, 0};
    if (poll(&p, 1, 200) == 1) {
      char buf[32];
      const ssize_t n = read(fds[0], buf, sizeof buf);
      if (n <= 0) break;
      number.append(buf, static_cast<size_t>(n));
      if (number.find('\n') != std::string::npos) break;
    }
    if (waitpid(pid, nullptr, WNOHANG) == pid) {
      g_xvfb = 0;
      break;
    }
  }
  close(fds[0]);
  while (!number.empty() && (number.back() == '\n' || number.back() == '\r')) number.pop_back();
  if (number.empty()) {
    g_xvfbLog.clear();  // kept: it says why
    StopXvfb();
    why = "Xvfb did not start (see " + log + ")";
    return "";
  }
  return ":" + number;
}

// ---- Watchdog -----------------------------------------------------------------------------------

// Past the soft deadline of a run, TimedOut() turns true (the bare loop and
// the core's window poll it; the window path presses "Pause" on its own
// timer). Past the hard deadline the run has not even stopped: the bench
// says so and ends, taking its X server with it, rather than hanging.
class Watchdog {
 public:
  Watchdog() : thread_([this] { Loop(); }) {}
  ~Watchdog() {
    {
      std::lock_guard<std::mutex> lock(m_);
      quit_ = true;
    }
    cv_.notify_all();
    thread_.join();
  }
  void Arm(double softSeconds, double hardSeconds, std::string what) {
    std::lock_guard<std::mutex> lock(m_);
    timedOut_.store(false, std::memory_order_relaxed);
    const auto now = SteadyTime::now();
    soft_ = now + std::chrono::duration_cast<SteadyTime::duration>(
                      std::chrono::duration<double>(softSeconds));
    hard_ = now + std::chrono::duration_cast<SteadyTime::duration>(
                      std::chrono::duration<double>(hardSeconds));
    what_ = std::move(what);
    armed_ = true;
    cv_.notify_all();
  }
  void Disarm() {
    std::lock_guard<std::mutex> lock(m_);
    armed_ = false;
  }
  bool TimedOut() const { return timedOut_.load(std::memory_order_relaxed); }

 private:
  void Loop() {
    std::unique_lock<std::mutex> lock(m_);
    while (!quit_) {
      if (!armed_) {
        cv_.wait(lock);
        continue;
      }
      const auto now = SteadyTime::now();
      if (now >= hard_) {
        std::fprintf(stderr, "\n%s: no end %.0f s after its timeout; giving up.\n", what_.c_str(),
                     std::chrono::duration<double>(hard_ - soft_).count());
        std::fflush(stdout);
        StopXvfb();
        std::_Exit(3);
      }
      if (now >= soft_) timedOut_.store(true, std::memory_order_relaxed);
      cv_.wait_until(lock, now >= soft_ ? hard_ : soft_);
    }
  }

  std::mutex m_;
  std::condition_variable cv_;
  bool quit_ = false, armed_ = false;
  SteadyTime::time_point soft_, hard_;
  std::string what_;
  std::atomic<bool> timedOut_{false};
  std::thread thread_;
};

// ---- Programs -----------------------------------------------------------------------------------

// Move lengths (steps) whose reciprocal multiplies back to exactly 1, so the
// straight-move loop's accumulators gain exactly one step per iteration and
// no iteration is an empty pulse (49 * (1/49) is below 1).
long ExactSteps(long n) {
  for (long d = 0;; ++d) {
    if (n - d >= 1 && double(n - d) * (1 / double(n - d)) == 1) return n - d;
    if (double(n + d) * (1 / double(n + d)) == 1) return n + d;
  }
}

struct Program {
  std::string name;  // "long" / "short"
  double rate = 0;   // commanded steps/s of a single-axis pulse
  std::string path;  // file in the program folder
  long pulses = 0;   // rising step edges a complete run makes
  long lines = 0;
};

std::string Mm(long steps) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.2f", double(steps) * kUnitsPerStep);
  return buf;
}

// Long straight moves: a rectangle with sides of a quarter of the run, so the
// program has four moves per lap and reverses on both axes.
std::string LongProgram(double rate, double seconds, long& pulses, long& lines) {
  const long side = ExactSteps(std::max(1L, std::lround(rate * seconds / 4)));
  const long corners[4][2] = {{side, 0}, {side, side}, {0, side}, {0, 0}};
  std::string text = "G01 X" + Mm(side) + " Y0 F" + std::to_string(std::lround(rate * 0.6)) + "\n";
  for (int i = 1; i < 4; ++i) text += "X" + Mm(corners[i][0]) + " Y" + Mm(corners[i][1]) + "\n";
  pulses = 4 * side;
  lines = 4;
  return text;
}

// CAM-like: lines of 0.1 to 2 mm along X, along Y or at 45 degrees, in random
// directions within a 40 mm square (a line that would leave it turns back).
std::string ShortProgram(double rate, double seconds, long& pulses, long& lines) {
  uint64_t s = 0x9E3779B97F4A7C15ull;  // xorshift64*: the same program on every platform
  auto next = [&] {
    s ^= s >> 12, s ^= s << 25, s ^= s >> 27;
    return s * 0x2545F4914F6CDD1Dull;
  };
  const long box = 4000;  // steps
  long x = 0, y = 0;      // the program starts where the tool stands
  std::string text;
  pulses = 0;
  lines = 0;
  const long wanted = std::max(10L, std::lround(rate * seconds));
  static const int kDirs[8][2] = {{1, 0}, {-1, 0},  {0, 1},  {0, -1},
                                  {1, 1}, {-1, -1}, {1, -1}, {-1, 1}};
  while (pulses < wanted) {
    const int* d = kDirs[next() % 8];
    const long n = ExactSteps(10 + long(next() % 191));  // 0.1 .. 2 mm
    int dx = d[0], dy = d[1];
    if (x + dx * n < 0 || x + dx * n > box) dx = -dx;
    if (y + dy * n < 0 || y + dy * n > box) dy = -dy;
    x += dx * n, y += dy * n;
    text += (lines == 0 ? "G01 X" : "X") + Mm(x) + " Y" + Mm(y);
    text += lines == 0 ? " F" + std::to_string(std::lround(rate * 0.6)) + "\n" : "\n";
    pulses += n;
    ++lines;
  }
  return text;
}

// ---- Measurement --------------------------------------------------------------------------------

struct Masks {
  uint8_t x = 0, y = 0, z = 0;
  uint8_t Steps() const { return x | y | z; }
};

// Everything one path measured in one cell (all its runs together).
struct Series {
  std::vector<double> errorUs;  // |measured - commanded| per interval
  double commandedNs = 0, measuredNs = 0;
  long edges = 0;
  int runs = 0;
  std::vector<std::string> faults;  // why a run does not count as complete
  std::vector<std::string> notes;   // worth knowing, but the run counts

  static void Once(std::vector<std::string>& list, std::string text) {
    if (std::find(list.begin(), list.end(), text) == list.end()) list.push_back(std::move(text));
  }
  void Fault(std::string f) { Once(faults, std::move(f)); }
  void Note(std::string n) { Once(notes, std::move(n)); }
};

// Adds the rising step edges of one run. `data` is the data register before
// the run's first write; `baseNs` the commanded interval of a single-axis
// pulse. Returns the edges found.
long AddRun(const std::vector<SimulatedPort::Write>& writes, uint8_t data, Masks m, double baseNs,
            Series& s) {
  long edges = 0;
  int64_t last = 0;
  bool lastDiagonal = false;
  for (const auto& w : writes) {
    const uint8_t rising = w.value & static_cast<uint8_t>(~data) & m.Steps();
    data = w.value;
    if (!rising) continue;
    if (edges > 0) {
      const double commanded = lastDiagonal ? baseNs / kDiagonal : baseNs;
      const double measured = double(w.tick - last);
      s.errorUs.push_back(std::fabs(measured - commanded) / 1000);
      s.commandedNs += commanded;
      s.measuredNs += measured;
    }
    last = w.tick;
    lastDiagonal = (w.value & m.x) && (w.value & m.y);
    ++edges;
  }
  s.edges += edges;
  s.runs += 1;
  return edges;
}

struct Figures {
  bool valid = false;
  double p50 = 0, p99 = 0, p999 = 0, max = 0, rateErrorPercent = 0;
};

Figures Summarise(Series& s) {
  Figures f;
  if (s.errorUs.empty() || !(s.measuredNs > 0)) return f;
  auto& e = s.errorUs;
  std::sort(e.begin(), e.end());
  auto pct = [&](double p) { return e[std::min(e.size() - 1, size_t(p * double(e.size())))]; };
  f.valid = true;
  f.p50 = pct(0.5), f.p99 = pct(0.99), f.p999 = pct(0.999), f.max = e.back();
  f.rateErrorPercent = (s.commandedNs / s.measuredNs - 1) * 100;
  return f;
}

// The clock's resolution for the goal's "below the resolution" case: the
// median step between two successive distinct readings (ns), about what one
// reading costs; a busy wait cannot place an edge closer than that.
double ClockResolutionNs() {
  std::vector<int64_t> d;
  d.reserve(200000);
  auto prev = SteadyTime::now();
  while (d.size() < 200000) {
    const auto now = SteadyTime::now();
    if (now != prev) d.push_back((now - prev).count());
    prev = now;
  }
  std::nth_element(d.begin(), d.begin() + long(d.size() / 2), d.end());
  return double(d[d.size() / 2]);
}

// ---- The three paths ----------------------------------------------------------------------------

Watchdog* g_watchdog = nullptr;

// The bare loop: `pulses` pulses of `intervalNs` on an absolute schedule with
// the same catch-up rule as the step loop (no interval under 3/4 of the
// commanded one; more than 8 intervals late, the schedule restarts from the
// late pulse), each step line high for the pulse width.
void RunBare(SimulatedPort& port, Masks m, long pulses, double intervalNs) {
  const double widthNs = kPulseWidthUs * 1000;
  auto now = [] { return double(SteadyTime::now().time_since_epoch().count()); };
  double due = now(), lastRise = -1e300;
  for (long k = 0; k < pulses; ++k) {
    double t;
    while ((t = now()) < due) {
    }
    port.WriteData(m.x);  // step X high (direction low)
    lastRise = t;
    while (now() < lastRise + widthNs) {
    }
    port.WriteData(0);
    if (g_watchdog->TimedOut()) return;
    const double late = lastRise - due;
    due = late > 8 * intervalNs ? lastRise + intervalNs
                                : std::max(due + intervalNs, lastRise + 0.75 * intervalNs);
  }
}

// The core's no-op window; it only lets the watchdog stop a run that went on
// too long, and keeps the messages a run would show.
class CoreWindow final : public QuietWindow {
 public:
  explicit CoreWindow(MachineState& ms) : ms_(ms) {}
  void PumpEvents() override {
    if (g_watchdog->TimedOut()) ms_.StopRequested = true;
  }
  void Message(const std::string& text, const std::string&) override { messages.push_back(text); }
  void ShowStatus(const std::string& text) override { status = text; }
  std::vector<std::string> messages;
  std::string status;  // the message line after the run

 private:
  MachineState& ms_;
};

// One run of the program through the core alone: the load as File > Open
// makes it (settings from brimo.cfg, drawing pass), then "Execute Program".
void RunCore(const std::string& folder, const Program& p, SteadyClock& clock, SimulatedPort& port,
             Series& s, Masks m) {
  MachineState ms;
  SettingsForm form;
  ProgramStore store;
  PlotState plot;
  CoreWindow win(ms);
  PortLink link(&port);
  Core c{ms, win, clock, link, store, plot};
  const ConfigResult cfg = LoadConfiguration(folder, ms, form, "0");
  std::string why;
  if (!cfg.ok || !ReadProgramFile(p.path, store, why)) {
    s.Fault("load failed");
    return;
  }
  ms.DiagonalFactor = 1;
  ms.Stop.DrawWidth = 1;
  plot.PlotXMax = plot.PlotYMax = 200;
  UpdatePlotEvery(c);
  InitCounter(ms, clock);
  ResetRunState(c);
  ResetParserRegisters(c);
  plot.RefitExtents = true;
  ResetProgramPosition(c);
  DrawProgram(c);
  plot.RefitExtents = false;
  ms.StopRequested = false;

  port.ClearWrites();
  const uint8_t before = port.DataRegister();
  Execute(c);
  if (g_watchdog->TimedOut()) s.Fault("timed out: stopped");
  const long edges = AddRun(port.Writes(), before, m, 1e9 / p.rate, s);
  if (edges != p.pulses)
    s.Fault(std::to_string(edges) + " of " + std::to_string(p.pulses) + " pulses");
  for (const auto& t : win.messages)
    if (t != msg::kDone) s.Fault("message: " + t.substr(0, 60));
  if (!win.status.empty()) s.Note("message line: " + win.status);
}

// The full window, built once for the whole bench.
class WindowPath {
 public:
  WindowPath(const QString& folder, SteadyClock& clock, SimulatedPort& port)
      : app_(folder, gui::AppHardware{&clock, &port}), port_(port) {
    app_.window().SetMessageSink(
        [this](const std::string& text, const std::string&) { messages_.push_back(text); });
    app_.window().SetAnswerSink([](const std::string&) { return false; });
  }

  // Start-up online (no safety dialog, "Offline" unticked), per-line
  // displays on, "Continous". False with `why` when it cannot be so.
  bool Start(int plotPx, std::string& why) {
    gui::StartOptions options;
    options.safetyDialog = false;
    options.offline = false;
    app_.Start(options);
    gui::MDIForm1& w = app_.mainWindow();
    for (int i = 0; i < 400 && !(w.windowHandle() && w.windowHandle()->isExposed()); ++i)
      QCoreApplication::processEvents(QEventLoop::AllEvents, 5),
          std::this_thread::sleep_for(std::chrono::milliseconds(5));
    Settle(200);
    // The operator sets the height; the width follows, the plot is square.
    for (int i = 0; i < 3 && w.View()->height() != plotPx; ++i) {
      w.resize(w.width(), w.height() + plotPx - w.View()->height());
      Settle(100);
    }
    gui::RunPanel* run = w.Panel()->Run();
    if (run->Check2()->isChecked()) run->Check2()->click();
    if (run->Check1()->isChecked()) run->Check1()->click();
    if (auto* cont = run->findChild<QRadioButton*>("Option3")) cont->click();
    pause_ = w.Strip()->findChild<QPushButton*>("Command1");
    const MachineState& ms = app_.ms();
    if (ms.Offline || run->Check2()->isChecked())
      why = "the window stays offline";
    else if (run->Check1()->isChecked())
      why = "\"Update On/Off\" stays ticked";
    else if (!pause_)
      why = "no \"Pause\" button";
    else if (ms.UnitsPerStepX != kUnitsPerStep || app_.form().PulseWidth != "2")
      why = "brimo.cfg was not taken";
    else if (!messages_.empty())
      why = "start-up said: " + messages_.front();
    return why.empty();
  }

  // Handles the window's events for about `ms` milliseconds.
  static void Settle(int ms) {
    const auto until = SteadyTime::now() + std::chrono::milliseconds(ms);
    while (SteadyTime::now() < until) QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
  }

  void Run(const Program& p, double softSeconds, Series& s, Masks m) {
    gui::MDIForm1& w = app_.mainWindow();
    messages_.clear();
    if (!w.OpenProgramFile(QString::fromStdString(p.path))) {
      s.Fault("File > Open failed");
      return;
    }
    // The run-time estimate of the program just opened runs on its own
    // thread: let it finish so it does not compete with the run.
    QLabel* runTime = w.Panel()->RunTime();
    for (int i = 0; i < 400 && runTime->text().isEmpty(); ++i) Settle(50);
    if (runTime->text().isEmpty()) s.Note("the run-time estimate was still running at the start");
    Settle(50);
    messages_.clear();

    port_.ClearWrites();
    const uint8_t before = port_.DataRegister();
    bool paused = false;
    QTimer stop;
    stop.setSingleShot(true);
    QObject::connect(&stop, &QTimer::timeout, [&] {
      paused = true;
      pause_->click();
    });
    stop.start(static_cast<int>(softSeconds * 1000));
    // Returns when the run ends today; returns at once once runs have their
    // own thread: the loop below covers both.
    w.Panel()->Run()->Command7()->click();
    while (app_.MotionBusy()) {
      QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
      if (g_watchdog->TimedOut() && !paused) paused = true, pause_->click();
    }
    stop.stop();
    if (paused)
      s.Fault("timed out after " + std::to_string(std::lround(softSeconds)) + " s: paused");
    const long edges = AddRun(port_.Writes(), before, m, 1e9 / p.rate, s);
    if (edges != p.pulses)
      s.Fault(std::to_string(edges) + " of " + std::to_string(p.pulses) + " pulses");
    for (const auto& t : messages_)
      if (t != msg::kDone) s.Fault("message: " + t.substr(0, 60));
  }

  QSize Size() { return app_.mainWindow().View()->size(); }

 private:
  gui::AppContext app_;
  SimulatedPort& port_;
  QPushButton* pause_ = nullptr;
  std::vector<std::string> messages_;
};

// ---- Settings -----------------------------------------------------------------------------------

bool WriteSettings(const std::string& folder, std::string& why) {
  SettingsForm form;
  form.StepsPerRevX = form.StepsPerRevY = form.StepsPerRevZ = "400";
  form.LeadX = form.LeadY = form.LeadZ = "4.00";
  // Rapid (fast) rates far above the fastest feed (200 k steps/s = 120000
  // mm/min), so no feed is capped; the jog rates are not used.
  const char* rates[9] = {"200000", "2000",   "500",  "200000", "2000",
                          "500",    "200000", "2000", "500"};
  for (int i = 0; i < 9; ++i) form.*kAxisFields[i / 3].rates[i % 3] = rates[i];
  form.PulseWidth = "2";  // "Pulse Width", us
  MachineState ms;
  return SaveConfiguration(folder, ms, form, why);
}

// ---- Report -------------------------------------------------------------------------------------

const char* kPathNames[3] = {"bare", "core", "window"};

std::string Ratio(double a, double b) {
  if (!(b > 0)) return "-";
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.1fx", a / b);
  return buf;
}

struct CellResult {
  double rate;
  std::string program;
  Figures f[3];
  bool ran[3] = {false, false, false};
  bool failed[3] = {false, false, false};
  std::string verdict;  // PASS / MISS / FAILED / -
};

double Limit(double bare, double resolutionUs) {
  return bare < resolutionUs ? bare + kSlackUs : kRatioGoal * bare;
}

}  // namespace

int main(int argc, char** argv) {
  const Options opt = ParseOptions(argc, argv);
  signal(SIGINT, OnSignal);
  signal(SIGTERM, OnSignal);
  signal(SIGHUP, OnSignal);
  signal(SIGPIPE, OnSignal);  // output into a closed pipe (| head)
  std::setvbuf(stdout, nullptr, _IOLBF, 0);

  if (opt.window && opt.platform == "xcb") {
    const char* d = std::getenv("DISPLAY");
    if (d && *d && DisplayAnswers(d)) {
      std::printf("X display: %s (already running)\n", d);
    } else {
      std::string why;
      const std::string display = StartXvfb(why);
      if (display.empty()) {
        std::fprintf(stderr, "%s\n", why.c_str());
        return 1;
      }
      setenv("DISPLAY", display.c_str(), 1);
      unsetenv("XAUTHORITY");  // the server started here has no cookie
      std::printf("X display: %s (Xvfb started by the bench, pid %d)%s\n", display.c_str(),
                  int(g_xvfb), d && *d ? "; DISPLAY did not answer" : "");
    }
  }
  qputenv("QT_QPA_PLATFORM", opt.platform.c_str());

  int exitCode = 0;
  {
    std::unique_ptr<QApplication> qapp;
    if (opt.window) qapp = std::make_unique<QApplication>(argc, argv);
    Watchdog watchdog;
    g_watchdog = &watchdog;

    QTemporaryDir dir;
    const std::string folder = dir.path().toStdString();
    std::string why;
    if (!dir.isValid() || !WriteSettings(folder, why)) {
      std::fprintf(stderr, "cannot write brimo.cfg: %s\n", why.c_str());
      return 1;
    }
    MachineState probe;
    SettingsForm probeForm;
    LoadConfiguration(folder, probe, probeForm, "0");
    const Masks masks{static_cast<uint8_t>(probe.StepMaskX), static_cast<uint8_t>(probe.StepMaskY),
                      static_cast<uint8_t>(probe.StepMaskZ)};

    SteadyClock clock;
    SimulatedPort port(&clock);
    double maxRate = 0;
    for (double r : opt.rates) maxRate = std::max(maxRate, r);
    // Room for every write of the longest run (a rise, a fall and perhaps a
    // direction write per pulse), so recording never allocates mid-run.
    port.Reserve(size_t(maxRate * opt.seconds * 1.1 * 3) + 4096);

    std::unique_ptr<WindowPath> window;
    if (opt.window) {
      window = std::make_unique<WindowPath>(dir.path(), clock, port);
      if (!window->Start(opt.plotPx, why)) {
        std::fprintf(stderr, "window: %s\n", why.c_str());
        return 1;
      }
    }

    const double resolutionNs = opt.resolutionNs > 0 ? opt.resolutionNs : ClockResolutionNs();
    const double resolutionUs = resolutionNs / 1000;
    sched_param sp{};
    const int policy = sched_getscheduler(0);
    sched_getparam(0, &sp);
    std::printf("platform %s, %.1f s per run, %d run(s) of each path per cell, %u CPUs\n",
                opt.platform.c_str(), opt.seconds, opt.rounds, std::thread::hardware_concurrency());
    std::printf("scheduling: %s\n",
                policy == SCHED_FIFO
                    ? ("SCHED_FIFO priority " + std::to_string(sp.sched_priority)).c_str()
                : policy == SCHED_RR ? "SCHED_RR"
                                     : "normal (not real-time)");
    std::printf(
        "steady_clock resolution: %.0f ns (%s)\n", resolutionNs,
        opt.resolutionNs > 0 ? "--resolution" : "median step between two distinct readings");
    if (window)
      std::printf("plot %dx%d px, live plot on, per-line displays on, online (simulated port)\n",
                  window->Size().width(), window->Size().height());
    std::printf(
        "intervals between rising step edges; the first edge of each run opens its series, "
        "nothing else excluded\n");
    std::printf(
        "goals: window p99 and p99.9 <= %.1fx bare (bare + %.0f us where bare < %.3f us),"
        " |mean rate error| <= %.2f %%, 200 kHz sustained\n\n",
        kRatioGoal, kSlackUs, resolutionUs, kRateGoalPercent);

    auto makeProgram = [&](const std::string& name, double rate, double seconds) {
      Program p;
      p.name = name, p.rate = rate;
      const std::string text = name == "long" ? LongProgram(rate, seconds, p.pulses, p.lines)
                                              : ShortProgram(rate, seconds, p.pulses, p.lines);
      p.path = folder + "/" + name + "_" + std::to_string(std::lround(rate)) + ".txt";
      std::ofstream(p.path, std::ios::binary) << text;
      return p;
    };
    auto softTimeout = [&](const Program& p) {
      // Generous: a window that runs ten times slower than commanded still
      // completes and is measured (and misses its goals).
      return opt.timeout > 0 ? opt.timeout : 10 * double(p.pulses) / p.rate + 10;
    };

    // Warm-up, not counted: first paints, caches, page faults of the record.
    {
      const Program p = makeProgram("short", 10000, 0.2);
      Series scratch;
      watchdog.Arm(softTimeout(p), softTimeout(p) + 30, "warm-up");
      if (opt.bare) RunBare(port, masks, p.pulses, 1e5);
      if (opt.core) RunCore(folder, p, clock, port, scratch, masks);
      if (window) window->Run(p, softTimeout(p), scratch, masks);
      watchdog.Disarm();
    }

    std::vector<CellResult> results;
    for (double rate : opt.rates) {
      for (const std::string name : {"long", "short"}) {
        if ((name == "long" && !opt.longProgram) || (name == "short" && !opt.shortProgram))
          continue;
        const Program p = makeProgram(name, rate, opt.seconds);
        Series s[3];
        const bool on[3] = {opt.bare, opt.core, opt.window};
        for (int round = 0; round < opt.rounds; ++round) {
          for (int path = 0; path < 3; ++path) {
            if (!on[path]) continue;
            const double soft = softTimeout(p);
            watchdog.Arm(soft, soft + 30,
                         std::string(kPathNames[path]) + " run at " +
                             std::to_string(std::lround(rate)) + " steps/s (" + name + ")");
            if (path == 0) {
              port.ClearWrites();
              const uint8_t before = port.DataRegister();
              RunBare(port, masks, p.pulses, 1e9 / rate);
              if (watchdog.TimedOut()) s[0].Fault("timed out: stopped");
              AddRun(port.Writes(), before, masks, 1e9 / rate, s[0]);
            } else if (path == 1) {
              RunCore(folder, p, clock, port, s[1], masks);
            } else {
              window->Run(p, soft, s[2], masks);
            }
            watchdog.Disarm();
          }
        }

        CellResult r;
        r.rate = rate, r.program = name;
        std::printf("== %.0f steps/s, %s: %ld pulses in %ld lines per run, %d run(s) per path ==\n",
                    rate, name == "long" ? "long straight moves" : "short lines (CAM-like)",
                    p.pulses, p.lines, opt.rounds);
        std::printf("%-7s %10s %9s %9s %9s %9s %11s %9s %10s\n", "path", "intervals", "p50 us",
                    "p99 us", "p99.9 us", "max us", "rate err %", "p99/bare", "p99.9/bare");
        for (int path = 0; path < 3; ++path) {
          if (!on[path]) continue;
          r.ran[path] = true;
          r.failed[path] = !s[path].faults.empty();
          const size_t n = s[path].errorUs.size();
          r.f[path] = Summarise(s[path]);
          const Figures& f = r.f[path];
          if (!f.valid) {
            std::printf("%-7s %10zu  no intervals measured\n", kPathNames[path], n);
          } else {
            std::printf("%-7s %10zu %9.2f %9.2f %9.2f %9.1f %+11.3f %9s %10s\n", kPathNames[path],
                        n, f.p50, f.p99, f.p999, f.max, f.rateErrorPercent,
                        path == 0 || !r.f[0].valid ? "" : Ratio(f.p99, r.f[0].p99).c_str(),
                        path == 0 || !r.f[0].valid ? "" : Ratio(f.p999, r.f[0].p999).c_str());
          }
          for (const auto& fault : s[path].faults)
            std::printf("        %s FAILED: %s\n", kPathNames[path], fault.c_str());
          for (const auto& note : s[path].notes)
            std::printf("        %s: %s\n", kPathNames[path], note.c_str());
        }
        // The verdict is the full window's against the bare loop.
        if (r.ran[0] && r.ran[2]) {
          const Figures &b = r.f[0], &w = r.f[2];
          if (r.failed[2] || !w.valid || !b.valid) {
            r.verdict = "FAILED";
            std::printf("goal: FAILED (the window's run did not complete)\n");
          } else {
            const double l99 = Limit(b.p99, resolutionUs), l999 = Limit(b.p999, resolutionUs);
            auto rule = [&](double bare) { return bare < resolutionUs ? "+2 us" : "x1.5"; };
            std::string miss;
            char buf[160];
            if (w.p99 > l99) {
              std::snprintf(buf, sizeof buf, " p99 %.2f > %.2f us;", w.p99, l99);
              miss += buf;
            }
            if (w.p999 > l999) {
              std::snprintf(buf, sizeof buf, " p99.9 %.2f > %.2f us;", w.p999, l999);
              miss += buf;
            }
            if (std::fabs(w.rateErrorPercent) > kRateGoalPercent) {
              std::snprintf(buf, sizeof buf, " rate %+.3f %% beyond %.2f %%;", w.rateErrorPercent,
                            kRateGoalPercent);
              miss += buf;
            }
            r.verdict = miss.empty() ? "PASS" : "MISS";
            std::printf(
                "goal (window): p99 <= %.2f us (%s), p99.9 <= %.2f us (%s), |rate err| <= %.2f "
                "%%: %s%s\n",
                l99, rule(b.p99), l999, rule(b.p999), kRateGoalPercent, r.verdict.c_str(),
                miss.c_str());
            if (std::fabs(b.rateErrorPercent) > kRateGoalPercent)
              std::printf("note: the bare loop itself ran %+.3f %% off: the machine was busy\n",
                          b.rateErrorPercent);
          }
        } else {
          r.verdict = "-";
        }
        std::printf("\n");
        results.push_back(r);
      }
    }

    // One line per cell, for a table.
    std::printf("summary, platform %s (p99 / p99.9 us; mean rate error %%)\n",
                opt.platform.c_str());
    std::printf("%9s %-6s %17s %17s %17s %26s %s\n", "steps/s", "prog", "bare", "core", "window",
                "rate err bare/core/window", "goal");
    bool sustained = true, any200 = false;
    for (const auto& r : results) {
      std::string cols[3], rates;
      for (int path = 0; path < 3; ++path) {
        char buf[64];
        if (!r.ran[path] || !r.f[path].valid) {
          cols[path] = "-";
        } else {
          std::snprintf(buf, sizeof buf, "%.2f / %.1f%s", r.f[path].p99, r.f[path].p999,
                        r.failed[path] ? "!" : "");
          cols[path] = buf;
        }
        std::snprintf(buf, sizeof buf, "%s%+.3f", path ? " / " : "",
                      r.ran[path] && r.f[path].valid ? r.f[path].rateErrorPercent : 0.0);
        rates += r.ran[path] && r.f[path].valid ? buf : (path ? " / -" : "-");
      }
      std::printf("%9.0f %-6s %17s %17s %17s %26s %s\n", r.rate, r.program.c_str(), cols[0].c_str(),
                  cols[1].c_str(), cols[2].c_str(), rates.c_str(), r.verdict.c_str());
      if (r.rate == 200000) {
        any200 = true;
        sustained = sustained && r.verdict == "PASS";
      }
      if (r.verdict == "FAILED") exitCode = 4;
    }
    if (any200 && opt.window && opt.bare)
      std::printf("200 kHz sustained: %s\n", sustained ? "PASS" : "MISS");
    std::printf("('!' marks a path whose run failed: see the cell above)\n");
    window.reset();
    g_watchdog = nullptr;
  }
  StopXvfb();
  return exitCode;
}
