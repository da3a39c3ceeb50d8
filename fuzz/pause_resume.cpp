// Fuzz target pause_resume: one program run twice online against the
// simulated port on the virtual clock. The straight run presses "Execute
// Program" again only after a tool change. The other run is disturbed at
// fuzzer-chosen pulses: up to three pauses (each resumed), up to three
// override changes, "Step" mode (one line per press, "Continous" again at a
// chosen pulse) and one status byte (limit or home switches) on the port.
// Where no switch tripped, the end positions and the net steps per axis on
// the port must equal the straight run's; in every run the program
// positions must equal the steps decoded from the port's pulse bytes.
//
// Input: 16 bytes of plan, then the program text (at most 40 lines).
#include <cstdint>
#include <string>
#include <vector>

#include "core/interpreter/dispatch.h"
#include "core/machine/switches.h"
#include "fuzz/fuzz_rig.h"

using namespace brimo;
using namespace brimo::fuzz;

namespace {

constexpr long kPulseCap = 20000;

struct Plan {
  long pauseAt[3] = {0, 0, 0};  // pump numbers; 0: none
  long overrideAt[3] = {0, 0, 0};
  double overridePercent[3] = {100, 100, 100};
  bool stepMode = false;
  long continuousAt = 0;
  long switchAt = 0;  // status read (1-based) that shows `switchByte`
  uint8_t switchByte = 127;
};

struct Outcome {
  double prg[3] = {0, 0, 0};
  long net[3] = {0, 0, 0};  // signed steps per axis decoded from the port
  long line = 0;
  bool capped = false;
  bool tripped = false;  // a switch read active
};

Outcome Run(std::string_view program, const Plan* plan) {
  FuzzRig r(/*offline=*/false);
  r.win.pulseCap = kPulseCap;
  r.LoadProgram(program);
  Outcome out;
  if (plan) {
    if (plan->switchAt > 0) {
      std::vector<uint8_t> status(static_cast<size_t>(plan->switchAt), 127);
      status.back() = plan->switchByte;
      status.push_back(127);
      r.port.ScriptStatus(std::move(status));
    }
    if (plan->stepMode) SelectStepMode(r.core);
    r.win.onPump = [&](long n) {
      for (int k = 0; k < 3; ++k) {
        if (n == plan->pauseAt[k]) Pause(r.core);
        if (n == plan->overrideAt[k]) {
          const double was = r.win.overridePercent;
          r.win.overridePercent = plan->overridePercent[k];
          if (!OverrideFeed(r.core)) r.win.overridePercent = was;
        }
      }
      if (n == plan->continuousAt && plan->stepMode) SelectContinuous(r.core);
    };
  }
  Execute(r.core);
  for (int press = 0; press < 400 && !r.win.capped && r.ms.CurrentLine <= r.store.LineCount;
       ++press) {
    const long line = r.ms.CurrentLine, pumps = r.win.pumps;
    const bool stopped = r.ms.StopRecordFilled();
    Execute(r.core);
    // Refused: nothing changed. A press that only ends a stopped move whose
    // steps were all made (and halts after its line) moves nothing either,
    // but it consumes the stop record.
    if (r.ms.CurrentLine == line && r.win.pumps == pumps && r.ms.StopRecordFilled() == stopped)
      break;
  }
  BRIMO_FUZZ_CHECK(r.Finite());
  out.prg[0] = r.ms.PrgX, out.prg[1] = r.ms.PrgY, out.prg[2] = r.ms.PrgZ;
  out.line = r.ms.CurrentLine;
  out.capped = r.win.capped;
  out.tripped = plan && plan->switchAt > 0 && r.port.StatusReads() >= plan->switchAt &&
                DecodeSwitches(plan->switchByte) != 0;

  // A pulse's rise carries its step lines with the direction lines; the
  // fall and a direction set-up before it carry direction lines alone.
  const auto& w = r.port.Writes();
  const int stepMask[3] = {r.ms.StepMaskX, r.ms.StepMaskY, r.ms.StepMaskZ};
  const int dirMask[3] = {r.ms.DirMaskX, r.ms.DirMaskY, r.ms.DirMaskZ};
  const int sense[3] = {r.ms.DirSenseX, r.ms.DirSenseY, r.ms.DirSenseZ};
  for (const auto& write : w) {
    for (int a = 0; a < 3; ++a) {
      if (!(write.value & stepMask[a])) continue;
      out.net[a] += (write.value & dirMask[a]) ? sense[a] : -sense[a];
    }
  }
  const double unit[3] = {r.ms.UnitsPerStepX, r.ms.UnitsPerStepY, r.ms.UnitsPerStepZ};
  for (int a = 0; a < 3; ++a)
    BRIMO_FUZZ_CHECK(std::fabs(out.prg[a] - out.net[a] * unit[a]) <= 1e-6);
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 4096) return 0;
  Bytes in(data, size);
  Plan plan;
  const uint8_t flags = in.Byte();
  for (int k = 0; k < 3; ++k) plan.pauseAt[k] = in.Word();
  for (int k = 0; k < 3; ++k) {
    plan.overrideAt[k] = in.Byte() * 16;
    plan.overridePercent[k] = 2 + in.Byte() * 2;  // 2 .. 512: past the window's 500 too
  }
  plan.stepMode = flags & 1;
  plan.continuousAt = (flags & 2) ? in.Byte() * 8 : 0;
  plan.switchAt = (flags & 4) ? in.Word() % kPulseCap : 0;
  plan.switchByte = in.Byte();
  const std::string_view program = FirstLines(in.Rest(), 40);

  const Outcome straight = Run(program, nullptr);
  if (straight.capped) return 0;  // too long to compare
  const Outcome other = Run(program, &plan);
  if (other.capped || other.tripped) return 0;  // the decoded positions were checked
  for (int a = 0; a < 3; ++a) {
    BRIMO_FUZZ_CHECK(other.net[a] == straight.net[a]);
    BRIMO_FUZZ_CHECK(other.prg[a] == straight.prg[a] ||
                     std::fabs(other.prg[a] - straight.prg[a]) <= 1e-9);
  }
  return 0;
}
