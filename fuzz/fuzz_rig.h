// FuzzRig: a fresh machine for one fuzz input, toolkit-free: state, a quiet
// window that counts pumps and answers from a script, the virtual clock
// (10^9 ticks per second, so every wait jumps to its due time), the
// simulated port, program store and plot state, with the default settings
// of a first start derived.
//
// Work cap: every pulse pumps the window once; after `pulseCap` pumps the
// window presses "Pause", so one input never steps more than that many
// pulses whatever it asks for (moves up to the 2^31-step refusal and pulse
// waits up to the 60 s refusal stay reachable, they only end early).
#pragma once

#include <stdlib.h>  // mkdtemp

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "core/interpreter/run_control.h"
#include "core/machine/config_file.h"
#include "core/machine/core.h"
#include "core/machine/machine_state.h"
#include "core/machine/port.h"
#include "core/machine/pulse_clock.h"
#include "core/machine/quiet_window.h"
#include "core/machine/settings_form.h"
#include "core/plot/plot_state.h"
#include "core/program/program_store.h"

namespace brimo::fuzz {

// A broken invariant: libFuzzer reports the input that led here.
#define BRIMO_FUZZ_CHECK(cond)     \
  do {                             \
    if (!(cond)) __builtin_trap(); \
  } while (0)

class FuzzWindow final : public QuietWindow {
 public:
  std::function<void(long pump)> onPump;  // acts inside the event pump
  long pumps = 0;
  long pulseCap = 20000;
  bool capped = false;      // the cap pressed "Pause"
  bool badLineYes = false;  // answer to "skip the bad line?"
  long messages = 0;
  double overridePercent = 100;
  Core* core = nullptr;

  void PumpEvents() override {
    ++pumps;
    if (onPump) onPump(pumps);
    if (pumps >= pulseCap && core) {
      capped = true;
      Pause(*core);
    }
  }
  void Message(const std::string&, const std::string&) override { ++messages; }
  bool AskYesNo(const std::string&, const std::string&) override { return badLineYes; }
  double OverridePercent() override { return overridePercent; }
};

struct FuzzRig {
  // The settings a first start derives from the form's defaults (made once).
  static const MachineState& Defaults() {
    static const MachineState defaults = [] {
      MachineState m;
      SettingsForm f;
      ApplyFormSettings(m, f, "0");
      return m;
    }();
    return defaults;
  }

  MachineState ms;
  SettingsForm form;
  FuzzWindow win;
  VirtualClock clock{1'000'000'000};
  SimulatedPort port{&clock};
  PortLink link{&port};
  ProgramStore store;
  PlotState plot;
  Core core{ms, win, clock, link, store, plot};

  explicit FuzzRig(bool offline = true) : ms(Defaults()) {
    ms.DiagonalFactor = 1;
    ms.Stop.DrawWidth = 1;
    ms.Offline = offline;
    ms.PlotEvery = 1e18;  // no live plot
    InitCounter(ms, clock);
    win.core = &core;
  }
  // Program text into the store, as File > Open splits it.
  void LoadProgram(std::string_view text) {
    std::vector<std::string> entries;
    SplitProgramText(text, entries);
    store.Assign(entries);
  }
  bool Finite() const {
    for (double v : {ms.PrgX, ms.PrgY, ms.PrgZ, ms.MachX, ms.MachY, ms.MachZ})
      if (!std::isfinite(v)) return false;
    return true;
  }
};

// Reads bytes of a fuzz input from the front, zeros when used up.
class Bytes {
 public:
  Bytes(const uint8_t* data, size_t size) : p_(data), n_(size) {}
  uint8_t Byte() {
    if (n_ == 0) return 0;
    --n_;
    return *p_++;
  }
  uint16_t Word() { return static_cast<uint16_t>(Byte() | (Byte() << 8)); }
  std::string_view Rest() const { return {reinterpret_cast<const char*>(p_), n_}; }
  // The next `len` bytes (fewer at the end) as text.
  std::string Text(size_t len) {
    len = len < n_ ? len : n_;
    std::string s(reinterpret_cast<const char*>(p_), len);
    p_ += len, n_ -= len;
    return s;
  }
  size_t Left() const { return n_; }

 private:
  const uint8_t* p_;
  size_t n_;
};

// At most `maxLines` lines of `text` (the rest is dropped), so the lines a
// single input makes the parser and the drawing read stay bounded.
inline std::string_view FirstLines(std::string_view text, int maxLines) {
  size_t pos = 0;
  for (int n = 0; n < maxLines && pos < text.size(); ++n) {
    const size_t nl = text.find_first_of("\n\r", pos);
    if (nl == std::string_view::npos) return text;
    pos = nl + 1;
  }
  return text.substr(0, pos);
}

// The settings in force that the file decides, compared exactly.
inline bool SameSettings(const MachineState& a, const MachineState& b) {
  auto same = [](double x, double y) { return x == y || (x != x && y != y); };
  return same(a.UnitsPerStepX, b.UnitsPerStepX) && same(a.UnitsPerStepY, b.UnitsPerStepY) &&
         same(a.UnitsPerStepZ, b.UnitsPerStepZ) && same(a.FastRateX, b.FastRateX) &&
         same(a.FastRateY, b.FastRateY) && same(a.FastRateZ, b.FastRateZ) &&
         same(a.SlowRateZ, b.SlowRateZ) && same(a.MediumRateY, b.MediumRateY) &&
         a.StepMaskX == b.StepMaskX && a.StepMaskY == b.StepMaskY && a.StepMaskZ == b.StepMaskZ &&
         a.DirMaskX == b.DirMaskX && a.DirMaskY == b.DirMaskY && a.DirMaskZ == b.DirMaskZ &&
         a.DirSenseX == b.DirSenseX && a.DirSenseY == b.DirSenseY && a.DirSenseZ == b.DirSenseZ &&
         a.UnitsMm == b.UnitsMm && a.UnitsInch == b.UnitsInch && same(a.UnitValue, b.UnitValue) &&
         a.ToolChangeX == b.ToolChangeX && a.ToolChangeZ == b.ToolChangeZ &&
         a.HomeSwitchEnabled == b.HomeSwitchEnabled &&
         a.LimitSwitchEnabled == b.LimitSwitchEnabled && a.CoordinateMode == b.CoordinateMode &&
         a.ZHomingMoveDistance == b.ZHomingMoveDistance && a.HomeFeedrate == b.HomeFeedrate &&
         a.HomeMoveKind == b.HomeMoveKind;
}

// A private folder for files of this process (made once, under TMPDIR).
inline std::string ScratchFolder() {
  static const std::string folder = [] {
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/brimo-fuzz-XXXXXX";
    BRIMO_FUZZ_CHECK(mkdtemp(pattern.data()) != nullptr);
    return pattern;
  }();
  return folder;
}

}  // namespace brimo::fuzz
