#include "core/interpreter/run_control.h"

#include <cmath>
#include <string>

#include "core/interpreter/dispatch.h"
#include "core/interpreter/draw_program.h"
#include "core/interpreter/drill.h"
#include "core/interpreter/parser.h"
#include "core/machine/core.h"
#include "core/machine/messages.h"
#include "core/machine/step_engine.h"
#include "core/plot/plot_geometry.h"
#include "core/plot/plot_state.h"
#include "core/plot/toolpath.h"
#include "core/program/program_store.h"

namespace brimo {
namespace {

// Marks motion under way for the duration of a handler; nested handlers (run
// inside the event pump) put back what they found.
class RunningScope {
 public:
  explicit RunningScope(MachineState& ms) : flag_(ms.Running), prev_(ms.Running) { flag_ = true; }
  ~RunningScope() { flag_ = prev_; }
  RunningScope(const RunningScope&) = delete;
  RunningScope& operator=(const RunningScope&) = delete;

 private:
  bool& flag_;
  bool prev_;
};

// Half the smallest step: closer than that, two positions are the same place.
bool SamePlace(const MachineState& ms, double x, double y, double z) {
  return std::fabs(ms.PrgX - x) < ms.UnitsPerStepX / 2 &&
         std::fabs(ms.PrgY - y) < ms.UnitsPerStepY / 2 &&
         std::fabs(ms.PrgZ - z) < ms.UnitsPerStepZ / 2;
}

// Before the next line of a halted run: when the machine was moved meanwhile
// (a jog to change the tool), bring it back to where the run left it.
bool ReturnIfHalted(Core& c) {
  MachineState& ms = c.ms;
  if (ms.Run != RunState::kHalted) return true;
  if (!ReturnTo(c, ms.Halt.PrgX, ms.Halt.PrgY, ms.Halt.PrgZ)) return false;  // still halted
  ms.Run = RunState::kRunning;
  return true;
}

std::string BadLineText(const MachineState& ms, long line, const std::string& text) {
  return "Line " + std::to_string(line) + ": " + text + "\n" + ms.LineBadReason;
}

// Resume of a drilling cycle stopped among its pecks: the interrupted peck is
// made again, then the remaining ones; the run then goes on with the next line.
void ResumeDrilling(Core& c) {
  MachineState& ms = c.ms;
  ms.TargetX = ms.Stop.TargetX;
  ms.TargetY = ms.Stop.TargetY;
  ms.TargetZ = ms.Stop.TargetZ;
  ms.MotionWord = ms.Stop.MotionWord;
  c.win.SetPenWidth(ms.Stop.DrawWidth);
  ms.StopRequested = true;  // the cycle's resume entry consumes it
  c.win.SetExecuteEnabled(false);
  ms.InProgramMove = true;
  DrillCycle(c);
  // Still a program move here: a peck refused at its set-up (a feed of 0)
  // must fill the stop record, or the next press would start the program
  // over from line 1 instead of trying this cycle again.
  if (ms.StopRequested && ms.Run != RunState::kStopped) TakeStopSnapshot(c);
  ms.InProgramMove = false;
  ShowPositions(c);
  if (ms.StopRequested) {
    c.win.SetExecuteEnabled(true);
    return;
  }
  RunProgram(c);
}

}  // namespace

bool ReturnTo(Core& c, double x, double y, double z) {
  MachineState& ms = c.ms;
  if (SamePlace(ms, x, y, z)) return true;
  // The return is not part of the program: the registers a run reads are
  // put back afterwards, whatever happened.
  const LineRegisters saved = LineRegisters::Of(ms);
  RunningScope running(ms);
  ms.MotionWord = "G01";
  ms.ArcMove = false;
  ms.ResumePending = false;
  c.win.SetForeColour(kBlack);
  auto move = [&](double tx, double ty, double tz) {
    ms.TargetX = tx, ms.TargetY = ty, ms.TargetZ = tz;
    StartLinearMove(c);
    ShowPositions(c);
    return !ms.StopRequested;
  };
  bool ok = true;
  if (z > ms.PrgZ) ok = move(ms.PrgX, ms.PrgY, z);  // rise first
  if (ok) ok = move(x, y, ms.PrgZ);                 // across at that height
  if (ok) ok = move(x, y, z);                       // then down
  saved.PutBack(ms);
  return ok;
}

void RunProgram(Core& c) {
  MachineState& ms = c.ms;
  RunningScope running(ms);
  c.win.FocusPlot();
  c.win.SetExecuteEnabled(false);
  ms.Run = RunState::kRunning;
  bool dispatched = false, badLine = false;
  for (;;) {
    if (ms.CurrentLine > c.store.LineCount) break;
    if (!c.win.DisplayUpdatesOff()) ShowPositions(c);
    c.win.SetForeColour(kBlack);
    if (ms.StopRequested) break;
    if (ms.ResumePending) {
      // The cut move is completed from where the machine stands: the
      // position counters are never rewritten (they match the machine).
      ms.TargetX = ms.Stop.TargetX;
      ms.TargetY = ms.Stop.TargetY;
      ms.TargetZ = ms.Stop.TargetZ;
      c.win.SetPenWidth(ms.Stop.DrawWidth);
      ms.MotionWord = ms.Stop.MotionWord;
    } else {
      ms.CurrentLine += 1;
      if (ms.CurrentLine > c.store.LineCount) c.win.SetPenWidth(1);
      ms.LineText = c.store.Entry(ms.CurrentLine);
      const std::string shown = ms.LineText;
      if (!c.win.DisplayUpdatesOff()) c.win.ShowLineInProgress(shown);
      ReadLine(c);
      if (ms.LineBad) {
        badLine = true;
        c.win.Message(BadLineText(ms, ms.CurrentLine, shown) + msg::kBadLineStopped,
                      msg::kBadLineTitle);
        break;
      }
    }
    ms.InProgramMove = true;
    DispatchMotion(c);
    dispatched = true;
    // A move refused at its set-up (no feed yet) stops the run like a cut
    // move, so "Execute Program" repeats it instead of starting over.
    if (ms.StopRequested && ms.Run != RunState::kStopped) TakeStopSnapshot(c);
    ms.InProgramMove = false;
    if (ms.StepMode) break;
  }
  ShowPositions(c);
  ShowPulseLateness(c);
  c.win.SetExecuteEnabled(true);
  c.win.SetForeColour(kBlack);
  // The state the run leaves behind. A cut move's stop record outranks the
  // rest: the next press resumes it whatever else holds.
  const bool finished = ms.CurrentLine > c.store.LineCount;
  if (finished) {
    c.win.SetExecuteEnabled(false);
    c.win.Message(msg::kDone, msg::kDoneTitle);
  }
  if (ms.Run == RunState::kStopped) {
    // kept
  } else if (badLine) {
    ms.Run = RunState::kBadLine;  // before line CurrentLine
  } else if (finished) {
    ms.Run = RunState::kFinished;
  } else if (dispatched && ms.StepMode && !ms.StopRequested) {
    ms.Run = RunState::kHalted;
    ms.Halt = {ms.PrgX, ms.PrgY, ms.PrgZ};
  } else {
    // Stopped between two lines (nothing cut), or before the first.
    ms.Run = ms.CurrentLine == 0 ? RunState::kIdle : RunState::kPaused;
  }
}

void Execute(Core& c) {
  MachineState& ms = c.ms;
  if (ms.Running) {  // never a second run inside the first
    c.win.Beep();
    return;
  }
  if (c.store.LineCount <= 0) {
    c.win.Message(msg::kNoProgram, msg::kNoProgramTitle);
    return;
  }
  RunningScope running(ms);
  // Every press starts a new run (a resume too): the schedule starts afresh.
  RestartPulseSchedule(ms);
  if (ms.Run == RunState::kBadLine) {
    const long line = ms.CurrentLine;
    if (!c.win.AskYesNo(BadLineText(ms, line, std::string(c.store.Entry(line))) + msg::kBadLineSkip,
                        msg::kBadLineTitle))
      return;
    ms.LineBad = false;
    ms.StopRequested = false;
    RunProgram(c);
    return;
  }
  if (ms.Run == RunState::kStopped) {
    // Resume the cut move, from the stop position: bring the machine back
    // there first when it was moved meanwhile.
    ms.StopRequested = false;
    if (!ReturnTo(c, ms.Stop.PrgX, ms.Stop.PrgY, ms.Stop.PrgZ)) return;  // still stopped
    ms.Run = RunState::kRunning;
    if (ms.DrillCycleActive) {
      ResumeDrilling(c);
      return;
    }
    ms.ResumePending = true;
    ms.ResumeKeptSteps = true;  // the cut move ends where it would have
    RunProgram(c);
    return;
  }
  // A stop request left behind with nothing cut (the preview's "Reset", a
  // key press while idle) means nothing here.
  ms.StopRequested = false;
  if (ms.MCode > 0) {
    // Continue after a tool change; step mode stays when "Step" is chosen.
    ms.StepMode = ms.StepSelected;
    ms.MCode = 0;
    if (ReturnIfHalted(c)) RunProgram(c);
    return;
  }
  UpdatePlotEvery(c);
  if (ms.Run == RunState::kAtLine) {
    RunProgram(c);
    return;
  }
  // Halted, paused or finished: go on (a finished run only says so again).
  if (ms.Run != RunState::kIdle && ms.StepMode) {
    if (ReturnIfHalted(c)) RunProgram(c);
    return;
  }
  if (ms.Run != RunState::kIdle && ms.ContinueRequested) {
    ms.ContinueRequested = false;
    if (ReturnIfHalted(c)) RunProgram(c);
    return;
  }
  // Start from the beginning. The first line starts where the tool stands
  // (not at program zero), so a first rapid keeps a jogged-up height.
  ms.LineStartX = ms.TargetX = ms.PrgX;
  ms.LineStartY = ms.TargetY = ms.PrgY;
  ms.LineStartZ = ms.TargetZ = ms.PrgZ;
  // Starting a program zeroes the machine coordinates (deliberate: the
  // machine origin is where a program was started).
  ms.MachX = ms.MachY = ms.MachZ = 0;
  ms.CurrentLine = 0;
  ms.Run = RunState::kIdle;
  c.win.SetPenWidth(2);
  RunProgram(c);
}

void Pause(Core& c) { c.ms.StopRequested = true; }

void SelectStepMode(Core& c) {
  c.ms.StepMode = true;
  c.ms.StepSelected = true;
}

void SelectContinuous(Core& c) {
  c.ms.StepMode = false;
  c.ms.StepSelected = false;
  c.ms.ContinueRequested = true;
}

bool OfflineChangeRefused(const MachineState& ms, bool /*ticked*/) {
  // Unticked mid-run, the rest of an offline run would go to the real
  // machine from positions it never reached; ticked mid-run, the positions
  // would run on without the machine.
  return ms.Running;
}

void SetOffline(Core& c, bool ticked) {
  if (OfflineChangeRefused(c.ms, ticked)) {
    c.win.ShowOffline(c.ms.Offline);  // the box as it was
    c.win.Beep();
  } else if (!ticked && c.ms.SettingsNeedConfirm) {
    // After a damaged brimo.cfg the defaults stand in for the operator's
    // lines; the port stays untouched until Settings "Ok" has confirmed them.
    c.win.Beep();
    c.win.ShowOffline(true);
    c.win.Message(msg::kOfflineUntilSettings, msg::kOfflineUntilSettingsTitle);
  } else {
    c.ms.Offline = ticked;
    if (!ticked) c.port.Reset();  // try the port again, and say so if it fails
  }
  c.win.FocusPlot();
}

void ResetRunState(Core& c) {
  MachineState& ms = c.ms;
  ms.CurrentLine = 0;
  ms.MCode = 0;
  ms.StepMode = ms.StepSelected;
  ms.ContinueRequested = false;
  ms.Run = RunState::kIdle;
  ms.ResumePending = false;
  ms.StopRequested = false;
  ms.Stop.StepsKept = false;
  ms.ResumeKeptSteps = false;
  ms.LineBad = false;
  ms.DrillCycleActive = false;
  ms.PreviewLine = 0;
  ms.PreviewRegs.reset();
  c.win.SetExecuteEnabled(true);
}

void ResetParserRegisters(Core& c) {
  MachineState& ms = c.ms;
  static_cast<Registers&>(ms) = Registers{};
  const MachineState fresh;
  ms.LineText = fresh.LineText;
  ms.ArcMove = fresh.ArcMove;
  ms.FeedNow = fresh.FeedNow;
  ms.StepRate = fresh.StepRate;
  ms.RefAxis = fresh.RefAxis;
  ms.DiagonalFactor = fresh.DiagonalFactor;
  c.win.ShowProgramFeed(NumberText(ms.ProgramFeed));
  c.win.ShowFeed(NumberText(ms.FeedNow));
  c.win.ShowLineInProgress(ms.LineText);
}

void ResetProgram(Core& c) {
  MachineState& ms = c.ms;
  if (ms.Running) {
    c.win.Beep();
    return;
  }
  c.win.Beep();
  if (!c.win.AskYesNo(msg::kResetQuestion, msg::kResetTitle)) return;
  c.win.SetExecuteEnabled(true);
  // A program run again from here reads as on its first run.
  ResetParserRegisters(c);
  // The current position becomes program zero (deliberate).
  ms.LineStartX = ms.LineStartY = ms.LineStartZ = 0;
  ms.Stop.PrgX = ms.Stop.PrgY = ms.Stop.PrgZ = 0;
  ms.PrgX = ms.PrgY = ms.PrgZ = 0;
  ms.TargetX = ms.TargetY = ms.TargetZ = 0;
  c.win.SetPenWidth(1);
  c.win.SetForeColour(kBlack);
  DrawProgram(c);
  ShowPositions(c);
  ResetRunState(c);
}

}  // namespace brimo
