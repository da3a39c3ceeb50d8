// The Linux ppdev backend's own system calls, against the stand-in device
// that ctest preloads (tests/ppdev_standin): a program run through it writes
// exactly the bytes it writes to the simulated port, the status byte and
// the release reach the device, and each way the device can refuse gives
// its own message naming the device and the address tried.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "core/interpreter/run_control.h"
#include "core/machine/config_file.h"
#include "core/machine/core.h"
#include "core/machine/machine_state.h"
#include "core/machine/port.h"
#include "core/machine/pulse_clock.h"
#include "core/machine/settings_form.h"
#include "core/plot/plot_state.h"
#include "core/program/program_store.h"
#include "support/fake_window.h"

namespace brimo {
namespace {

namespace fs = std::filesystem;

// A rapid, a feed, an arc and a rapid back: a few hundred pulses, well under
// a second in real time.
constexpr const char* kProgram = "G00 X0.5 Y0.3\nG01 X1 F300\nG02 X1 Y0.6 I0 J0.15\nG00 X0 Y0\n";

const char* Device() { return std::getenv("BRIMO_STANDIN_DEVICE"); }

// Runs kProgram online from its beginning, with the default settings,
// through `link` on `clock`.
void RunProgram(PortLink& link, Clock& clock) {
  MachineState ms;
  SettingsForm form;
  test::FakeWindow win;
  ProgramStore store;
  PlotState plot;
  Core core{ms, win, clock, link, store, plot};
  ASSERT_TRUE(ApplyFormSettings(ms, form, "0").ok);
  ASSERT_TRUE(InitCounter(ms, clock));
  ms.PlotEvery = 1e18;  // no live plot
  std::vector<std::string> entries;
  SplitProgramText(kProgram, entries);
  store.Assign(entries);
  Execute(core);
  EXPECT_FALSE(ms.Offline);  // the port opened and stayed in use
}

class PpdevTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(dlsym(RTLD_DEFAULT, "brimo_ppdev_standin"), nullptr)
        << "run through ctest, which preloads the stand-in device";
    ASSERT_NE(Device(), nullptr);
    log_ = fs::temp_directory_path() / ("brimo-ppdev-" + std::to_string(getpid()) + ".log");
    fs::remove(log_);
    setenv("BRIMO_STANDIN_LOG", log_.c_str(), 1);
    unsetenv("BRIMO_STANDIN_FAIL");
    unsetenv("BRIMO_STANDIN_STATUS");
  }
  void TearDown() override { fs::remove(log_); }
  // The device's events, one per line ("open", "w 3 123456789", ...).
  std::vector<std::string> Events() const {
    std::ifstream in(log_);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
  }
  fs::path log_;
};

TEST_F(PpdevTest, ARunWritesTheSimulatedPortsBytesAndReleasesTheDevice) {
  VirtualClock virtualClock(1'000'000'000);
  SimulatedPort simulated(&virtualClock);
  PortLink simulatedLink(&simulated);
  RunProgram(simulatedLink, virtualClock);
  std::vector<int> expected;
  for (const SimulatedPort::Write& w : simulated.Writes()) expected.push_back(w.value);
  ASSERT_GT(expected.size(), 100u);

  {
    PortLink link([](std::string& why) {
      return OpenHardwarePort(PortAddress{Device(), 0x378}, why);
    });
    SteadyClock clock;
    RunProgram(link, clock);
    std::string why;
    Port* port = link.Acquire(why);
    ASSERT_NE(port, nullptr) << why;
    setenv("BRIMO_STANDIN_STATUS", "93", 1);
    EXPECT_EQ(port->ReadStatus(), 93);
  }  // the link lets the port go

  const std::vector<std::string> events = Events();
  ASSERT_GE(events.size(), 4u);
  EXPECT_EQ(events[0], "open");
  EXPECT_EQ(events[1], "claim");
  std::vector<int> written;
  long long last = 0;
  for (const std::string& e : events) {
    if (e.rfind("w ", 0) != 0) continue;
    std::istringstream fields(e.substr(2));
    int byte = 0;
    long long ns = 0;
    fields >> byte >> ns;
    written.push_back(byte);
    EXPECT_GE(ns, last) << "write " << written.size();
    last = ns;
  }
  EXPECT_EQ(written, expected);
  EXPECT_EQ(events[events.size() - 3], "status 93");
  EXPECT_EQ(events[events.size() - 2], "release");
  EXPECT_EQ(events.back(), "close");
}

TEST_F(PpdevTest, EachRefusalHasItsOwnMessageNamingTheDeviceAndAddress) {
  struct Row {
    const char* fail;
    const char* says;
  };
  const Row rows[] = {
      {"missing", " does not exist"},
      {"denied", "No permission to open "},
      {"busy", " could not be claimed"},
  };
  std::set<std::string> messages;
  for (const Row& row : rows) {
    SCOPED_TRACE(row.fail);
    setenv("BRIMO_STANDIN_FAIL", row.fail, 1);
    std::string why;
    EXPECT_EQ(OpenHardwarePort(PortAddress{Device(), 0xD010}, why), nullptr);
    EXPECT_NE(why.find(row.says), std::string::npos) << why;
    EXPECT_NE(why.find(Device()), std::string::npos) << why;
    EXPECT_NE(why.find("0xD010"), std::string::npos) << why;
    messages.insert(why);
  }
  EXPECT_EQ(messages.size(), 3u);
  EXPECT_EQ(Events().back(), "close");  // the refused claim closed the device
}

}  // namespace
}  // namespace brimo
