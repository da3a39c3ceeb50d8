// Fuzz target program_run: a whole program loaded (File > Open: program zero
// where the tool stands, the drawing pass), run offline from line 1 with the
// work cap, halts answered as an operator would (Execute again after a tool
// change, bad lines skipped), then, when the run ended under the cap, the
// same program through the program check (the headless simulation, online
// against the counting port). Checks: positions stay finite, the drawing
// leaves the run registers as it found them, the check's totals hold
// together (no axis steps more than there are pulses, findings on existing
// lines in line order).
#include <cstdint>
#include <string>
#include <vector>

#include "core/interpreter/draw_program.h"
#include "core/plot/toolpath.h"
#include "core/sim/program_check.h"
#include "core/sim/sim_engine.h"
#include "fuzz/fuzz_rig.h"

using namespace brimo;
using namespace brimo::fuzz;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 8192) return 0;
  const std::string_view text =
      FirstLines(std::string_view(reinterpret_cast<const char*>(data), size), 200);

  FuzzRig r;
  r.win.pulseCap = 40000;
  r.win.badLineYes = true;
  r.LoadProgram(text);
  if (r.store.LineCount > 400) return 0;  // commas split lines too

  // File > Open.
  r.plot.PlotXMin = r.plot.PlotYMin = 0;
  r.plot.PlotXMax = r.plot.PlotYMax = 200;
  r.plot.RefitExtents = true;
  ResetProgramPosition(r.core);
  const std::string motionBefore = r.ms.MotionWord.Text();
  const double feedBefore = r.ms.ProgramFeed;
  DrawProgram(r.core);
  r.plot.RefitExtents = false;
  BRIMO_FUZZ_CHECK(r.ms.MotionWord.Text() == motionBefore);
  BRIMO_FUZZ_CHECK(r.ms.ProgramFeed == feedBefore || (feedBefore != feedBefore));
  BRIMO_FUZZ_CHECK(r.ms.PrgX == 0 && r.ms.PrgY == 0 && r.ms.PrgZ == 0);
  BRIMO_FUZZ_CHECK(r.win.pumps == 0);  // drawing steps nothing
  ResetRunState(r.core);

  // Run offline.
  Execute(r.core);
  for (int press = 0; press < 400 && !r.win.capped && r.ms.CurrentLine <= r.store.LineCount;
       ++press) {
    const long line = r.ms.CurrentLine, pumps = r.win.pumps;
    if (r.ms.StopRecordFilled() || r.ms.StopRequested) {
      // A refused move: give it up where the tool stands and go on.
      r.ms.TargetX = r.ms.PrgX, r.ms.TargetY = r.ms.PrgY, r.ms.TargetZ = r.ms.PrgZ;
      if (r.ms.Run == RunState::kStopped) r.ms.Run = RunState::kPaused;  // the record is dropped
      r.ms.StopRequested = r.ms.ResumePending = false;
      r.ms.DrillCycleActive = false;
      r.ms.ContinueRequested = true;
    }
    Execute(r.core);
    if (r.ms.CurrentLine == line && r.win.pumps == pumps) break;
    BRIMO_FUZZ_CHECK(r.Finite());
  }
  BRIMO_FUZZ_CHECK(r.Finite());
  BRIMO_FUZZ_CHECK(r.ms.CurrentLine >= 0 && r.ms.CurrentLine <= r.store.LineCount + 1);
  // Capped or halted for good: the check could take longer than the cap.
  if (r.win.capped || r.ms.CurrentLine <= r.store.LineCount) return 0;

  // The program check on the same program: about as much work as the run.
  std::vector<Finding> findings;
  SimulationOptions o;
  o.rows = false;
  o.check = true;
  FuzzRig settings;
  const SimulationTotals t = Simulate(r.store, settings.ms, o, nullptr, &findings);
  for (int a = 0; a < 3; ++a) BRIMO_FUZZ_CHECK(t.steps[a] >= 0 && t.steps[a] <= t.pulses);
  BRIMO_FUZZ_CHECK(t.lines >= 0 && t.lines <= r.store.LineCount);
  BRIMO_FUZZ_CHECK(std::isfinite(t.seconds) && t.seconds >= 0);
  long last = 0;
  for (const Finding& f : findings) {
    BRIMO_FUZZ_CHECK(f.line >= 1 && f.line <= r.store.LineCount + 1);
    BRIMO_FUZZ_CHECK(f.line >= last);
    last = f.line;
  }
  for (int a = 0; a < 3; ++a) BRIMO_FUZZ_CHECK(std::isfinite(t.prg[a]) && std::isfinite(t.mach[a]));
  return 0;
}
