#include "core/sim/sim_engine.h"

#include <algorithm>
#include <cstddef>
#include <functional>
#include <limits>
#include <string>
#include <utility>
#include <vector>

#include "core/interpreter/draw_program.h"
#include "core/interpreter/run_control.h"
#include "core/machine/core.h"
#include "core/machine/machine_state.h"
#include "core/machine/messages.h"
#include "core/machine/quiet_window.h"
#include "core/plot/plot_geometry.h"
#include "core/plot/plot_state.h"
#include "core/plot/toolpath.h"
#include "core/program/program_store.h"
#include "core/sim/direct_moves.h"
#include "core/sim/program_check.h"
#include "core/sim/sim_text.h"
#include "core/sim/vcd_writer.h"

namespace brimo {

namespace {

using sim_text::Trimmed;

class SimulationRun;

// The window of a simulation: draws nothing, shows nothing, answers at once.
// What the run shows it (line in progress, feed, messages) drives the rows
// and the check.
class SimWindow final : public QuietWindow {
 public:
  SimWindow(SimulationRun& run, const SimulationOptions& o, bool followLines)
      : run_(run), options_(o), followLines_(followLines) {}

  void PumpEvents() override;
  void ShowFeed(const std::string&) override;
  void ShowLineInProgress(const std::string& text) override;
  void Message(const std::string& text, const std::string& title) override;
  bool AskYesNo(const std::string& text, const std::string& title) override;
  double OverridePercent() override { return options_.overridePercent; }
  double ScaleFactor(int i) override { return (i >= 0 && i < 4) ? options_.scale[i] : 1; }
  // Rows and the check follow the run line by line; an estimate needs
  // neither and skips the per-line display work.
  bool DisplayUpdatesOff() override { return !followLines_; }

 private:
  SimulationRun& run_;
  const SimulationOptions& options_;
  bool followLines_;
};

// The port of a simulation: counts pulses and steps, hands the pulse train
// to the dump, and reads 127 (no switch active) from the status register.
class CountingPort final : public Port {
 public:
  explicit CountingPort(SimulationRun& run) : run_(run) {}
  void WriteData(uint8_t value) override;
  uint8_t ReadStatus() override;

 private:
  SimulationRun& run_;
};

class SimulationRun {
 public:
  SimulationRun(ProgramStore& program, const MachineState& settings, const SimulationOptions& o,
                const RowSink& onRow, std::vector<Finding>* findings)
      : options_(o),
        onRow_(onRow),
        findings_(findings),
        win_(*this, o, o.rows || o.check),
        port_(*this),
        link_(&port_),
        store_(program),
        core_{ms_, win_, clock_, link_, store_, plot_} {
    CopySettings(settings, ms_);
    direct_ = o.direct && !o.vcd;
  }

  SimulationTotals Run();

  // ---- Hooks of the window and the port ----------------------------------
  void LineShown(const std::string& text);
  void FeedShown();
  void Shown(const std::string& text, const std::string& title);
  void Pumped() {
    if (options_.gate) options_.gate->Pass(options_.cancel);
    if (Cancelled()) {
      ms_.StopRequested = true;  // the loops end after this pulse
      return;
    }
    if (pulseMade_) {
      // The step loop's pump after a pulse (the waits pump before theirs).
      pulseMade_ = false;
      if (direct_) FinishMove();
    }
  }
  // StepPulse reads the switches right after writing a pulse.
  void SwitchesRead() { pulseMade_ = true; }
  // Only the step engine writes the port of a simulation (no jog, no home
  // move): per pulse a direction set-up where an axis reverses, the rise,
  // the fall.
  void Written(uint8_t value) {
    if (ms_.Schedule.writing == PortWrite::kRise) {
      ++pulses_;
      // The step commands of the pulse being written.
      if (ms_.StepX != 0) ++steps_[0];
      if (ms_.StepY != 0) ++steps_[1];
      if (ms_.StepZ != 0) ++steps_[2];
    }
    if (options_.vcd) options_.vcd->Write(clock_.Now(), value);
  }

 private:
  void Load();
  void CheckText();
  void CloseRow();
  void Examine();
  void Note(const std::string& note);
  void RefuseLine(const std::string& note);
  void AddFinding(Finding::Kind kind, std::string message);
  void SkipRefusedMove();
  bool Cancelled() const {
    return options_.cancel && options_.cancel->load(std::memory_order_relaxed);
  }
  void FinishMove();
  // Seconds up to the last pulse's rise (the step lines' hold after it is
  // not part of the run time), with the pulses made at once.
  double Elapsed() const {
    return (static_cast<double>(ms_.LastPulseTime) + directTicks_) /
           static_cast<double>(kSimulationFrequency);
  }

  const SimulationOptions& options_;
  const RowSink& onRow_;
  std::vector<Finding>* findings_;
  MachineState ms_;
  SimWindow win_;
  VirtualClock clock_{kSimulationFrequency};
  CountingPort port_;
  PortLink link_;
  ProgramStore& store_;
  PlotState plot_;
  Core core_;

  long pulses_ = 0;
  long steps_[3] = {0, 0, 0};
  // Direct mode: the rest of each move is made at once; its time is kept
  // here, not on the clock, so the next pulse waits exactly as after the
  // move's first one (whatever rule the wait follows).
  bool direct_ = false;
  bool pulseMade_ = false;
  double directTicks_ = 0;
  long directPulses_ = 0;
  double worstLateUs_ = 0;  // over every press of "Execute Program"
  long latePulses_ = 0;

  bool rowOpen_ = false;
  SimulationRow row_;
  long rowPulses0_ = 0;
  long rowSteps0_[3] = {0, 0, 0};
  bool parsePending_ = false;  // the line shown has not been parsed yet
  long toolChanges_ = 0;
  long refusedLines_ = 0;
  long lastRefused_ = 0;
};

void SimWindow::PumpEvents() { run_.Pumped(); }
void SimWindow::ShowFeed(const std::string&) { run_.FeedShown(); }
void SimWindow::ShowLineInProgress(const std::string& text) { run_.LineShown(text); }
void SimWindow::Message(const std::string& text, const std::string& title) {
  run_.Shown(text, title);
}
bool SimWindow::AskYesNo(const std::string&, const std::string& title) {
  // The only question of a run: skip a bad line and go on? Yes.
  return title == msg::kBadLineTitle;
}
void CountingPort::WriteData(uint8_t value) { run_.Written(value); }
uint8_t CountingPort::ReadStatus() {
  run_.SwitchesRead();
  return 127;
}

// The move under way, between its first and second pulse: the rest of it at
// once. A straight move's loop then finds no step left; an arc's loop finds
// its last point made and goes on with the closing move (made the same way).
void SimulationRun::FinishMove() {
  if (ms_.StopRequested) return;
  MoveRest rest;
  bool done = true;
  const std::function<bool()> goOn = [this] {
    if (options_.gate) options_.gate->Pass(options_.cancel);
    return !Cancelled();
  };
  if (ms_.MoveSteps > 0) {
    done = FinishLinearMove(ms_, rest, goOn);
  } else if (ms_.ArcMove) {
    done = FinishArcPoints(ms_, rest, goOn);
  }
  pulses_ += rest.pulses;
  directPulses_ += rest.pulses;
  for (int a = 0; a < 3; ++a) steps_[a] += rest.steps[a];
  directTicks_ += rest.ticks;
  if (!done) ms_.StopRequested = true;  // cancelled
}

// The start-up and File > Open steps the window takes before a first
// "Execute Program".
void SimulationRun::Load() {
  MachineState& ms = ms_;
  ms.DiagonalFactor = 1;
  ms.Stop.DrawWidth = 1;
  plot_.PlotXMin = plot_.PlotYMin = 0;
  plot_.PlotXMax = plot_.PlotYMax = 200;
  UpdatePlotEvery(core_);
  // The counter starts at 0 here: the first pulse waits one whole interval.
  InitCounter(ms, clock_);
  win_.SetPenWidth(1);
  if (options_.drawingPass) {
    plot_.RefitExtents = true;
    // Deliberate, as File > Open: the tool's position becomes program zero.
    ResetProgramPosition(core_);
    ShowPositions(core_);
    ms.StopRequested = false;
    ms.ResumePending = false;
    DrawProgram(core_);
    plot_.RefitExtents = false;
  }
  ResetRunState(core_);
}

// A refused move leaves a stop record that "Execute Program" would only
// repeat (and be refused again). The simulation gives the move up where the
// tool stands (so no later line without coordinates retries it) and goes on
// with the next line, as "Continous" after a halt does.
void SimulationRun::SkipRefusedMove() {
  ms_.TargetX = ms_.PrgX;
  ms_.TargetY = ms_.PrgY;
  ms_.TargetZ = ms_.PrgZ;
  if (ms_.Run == RunState::kStopped) ms_.Run = RunState::kPaused;  // the record is dropped
  ms_.StopRequested = false;
  ms_.ResumePending = false;
  ms_.DrillCycleActive = false;
  ms_.ContinueRequested = true;
}

// The text of every line, before the run: what the dialect will not read.
void SimulationRun::CheckText() {
  if (!options_.check || !findings_) return;
  brimo::CheckText(store_, *findings_);
}

SimulationTotals SimulationRun::Run() {
  SimulationTotals t;
  if (options_.gate) options_.gate->Pass(options_.cancel);
  const size_t findings0 = findings_ ? findings_->size() : 0;
  CheckText();
  Load();
  // Each press times its own pulses; the run's figures take them all.
  auto press = [&] {
    Execute(core_);
    worstLateUs_ = std::max(worstLateUs_, WorstLatenessUs(ms_));
    latePulses_ += ms_.Schedule.late;
  };
  if (store_.LineCount > 0) {
    press();  // start from the beginning
    for (;;) {
      if (Cancelled()) {
        t.cancelled = true;
        break;
      }
      if (ms_.CurrentLine > store_.LineCount) {
        t.finished = true;
        break;
      }
      // Halted: after a tool change, before a bad line (the question is
      // answered Yes), or after a refused move.
      const long line = ms_.CurrentLine, pulses = pulses_;
      if (ms_.Run != RunState::kBadLine && (ms_.Run == RunState::kStopped || ms_.StopRequested))
        SkipRefusedMove();
      press();
      if (ms_.CurrentLine == line && pulses_ == pulses) break;  // nothing moves on
    }
  } else {
    t.finished = true;  // nothing to run
  }
  CloseRow();
  t.lines = std::min(ms_.CurrentLine, store_.LineCount);
  t.pulses = pulses_;
  t.directPulses = directPulses_;
  for (int a = 0; a < 3; ++a) t.steps[a] = steps_[a];
  t.seconds = Elapsed();
  t.prg[0] = ms_.PrgX, t.prg[1] = ms_.PrgY, t.prg[2] = ms_.PrgZ;
  t.mach[0] = ms_.MachX, t.mach[1] = ms_.MachY, t.mach[2] = ms_.MachZ;
  t.toolChanges = toolChanges_;
  t.refusedLines = refusedLines_;
  t.worstLatenessUs = worstLateUs_;
  t.latePulses = latePulses_;
  if (!t.finished) t.stoppedAt = ms_.CurrentLine;
  if (findings_) {
    // Line order; on one line, what its text says before what the run found.
    std::stable_sort(findings_->begin() + static_cast<std::ptrdiff_t>(findings0), findings_->end(),
                     [](const Finding& a, const Finding& b) { return a.line < b.line; });
  }
  return t;
}

void SimulationRun::LineShown(const std::string& text) {
  // The run loop shows each line right before parsing it: the line before
  // has ended.
  CloseRow();
  rowOpen_ = true;
  row_ = SimulationRow{};
  row_.line = ms_.CurrentLine;
  row_.text = text;
  row_.motion = ms_.MotionWord;  // modal: a skipped line keeps it
  rowPulses0_ = pulses_;
  for (int a = 0; a < 3; ++a) rowSteps0_[a] = steps_[a];
  parsePending_ = true;
}

void SimulationRun::FeedShown() {
  if (options_.gate) options_.gate->Pass(options_.cancel);
  if (Cancelled()) ms_.StopRequested = true;
  // The parser ends every line it does not skip with SetFeed, which shows
  // the feed: the first feed shown after the line sees the registers of the
  // line just parsed, before any move set-up changes them.
  if (!parsePending_) return;
  parsePending_ = false;
  row_.motion = ms_.MotionWord;
  if (options_.check) Examine();
}

void SimulationRun::CloseRow() {
  if (!rowOpen_) return;
  rowOpen_ = false;
  parsePending_ = false;
  row_.x = ms_.PrgX, row_.y = ms_.PrgY, row_.z = ms_.PrgZ;
  row_.pulses = pulses_ - rowPulses0_;
  for (int a = 0; a < 3; ++a) row_.steps[a] = steps_[a] - rowSteps0_[a];
  row_.seconds = Elapsed();
  // The pass over the entry after the last line shows only when it moved.
  if (row_.line > store_.LineCount && row_.pulses == 0 && row_.note.empty()) return;
  if (options_.rows && onRow_) onRow_(row_);
}

void SimulationRun::Note(const std::string& note) {
  if (!row_.note.empty()) row_.note += "; ";
  row_.note += note;
}

void SimulationRun::RefuseLine(const std::string& note) {
  if (lastRefused_ != ms_.CurrentLine) {
    ++refusedLines_;
    lastRefused_ = ms_.CurrentLine;
  }
  row_.refused = true;
  Note(note);
}

void SimulationRun::AddFinding(Finding::Kind kind, std::string message) {
  if (!options_.check || !findings_) return;
  findings_->push_back({ms_.CurrentLine, kind, row_.text, std::move(message)});
}

void SimulationRun::Shown(const std::string& text, const std::string& title) {
  if (text.rfind(msg::kToolChange, 0) == 0) {
    // Reported, not waited for: "Execute Program" is pressed again.
    ++toolChanges_;
    Note(msg::kSimNoteToolChange + Trimmed(ms_.TWord));
  } else if (text == msg::kDone) {
    // The end of the program.
  } else if (title == msg::kBadLineTitle) {
    RefuseLine(msg::kSimNoteBadLine + ms_.LineBadReason);  // the check found it at its parse
  } else if (text == msg::kBadRate) {
    RefuseLine(msg::kSimNoteZeroFeed);
    AddFinding(Finding::Kind::kZeroFeed, msg::kCheckZeroFeed);
  } else if (title == msg::kSlowFeedTitle || title == msg::kFastRateTitle) {
    RefuseLine(msg::kSimNoteRefused + title);
    AddFinding(Finding::Kind::kRefused, msg::kCheckRefused + text);
  } else if (text == msg::kMoveTooLong) {
    RefuseLine(msg::kSimNoteRefused + std::string(msg::kMoveTooLongTitle));
    AddFinding(Finding::Kind::kRefused, msg::kCheckRefused + text);
  } else {
    Note(title + ": " + text.substr(0, text.find('\n')));
  }
}

// The check of the line just parsed, on the registers the dispatch will act on.
void SimulationRun::Examine() {
  for (LineFinding& f : brimo::Examine(ms_)) AddFinding(f.kind, std::move(f.message));
}

}  // namespace

void SimulationGate::Hold() {
  std::lock_guard<std::mutex> hold(lock_);
  held_.store(true, std::memory_order_release);
}

void SimulationGate::Release() {
  {
    std::lock_guard<std::mutex> hold(lock_);
    held_.store(false, std::memory_order_release);
  }
  changed_.notify_all();
}

void SimulationGate::Wake() {
  { std::lock_guard<std::mutex> hold(lock_); }  // a sleeper between its test and its wait
  changed_.notify_all();
}

int SimulationGate::Waiting() const {
  std::lock_guard<std::mutex> hold(lock_);
  return waiting_;
}

void SimulationGate::Pass(const std::atomic<bool>* cancel) {
  if (!held_.load(std::memory_order_acquire)) return;  // the usual case: one load
  auto cancelled = [cancel] { return cancel && cancel->load(std::memory_order_acquire); };
  std::unique_lock<std::mutex> hold(lock_);
  ++waiting_;
  changed_.wait(hold, [&] { return !held_.load(std::memory_order_relaxed) || cancelled(); });
  --waiting_;
}

void CopySettings(const MachineState& f, MachineState& t) {
  static_cast<MachineSettings&>(t) = f;
  static_cast<DerivedSettings&>(t) = f;
}

SimulationTotals Simulate(ProgramStore& program, const MachineState& settings,
                          const SimulationOptions& options, const RowSink& onRow,
                          std::vector<Finding>* findings) {
  SimulationRun run(program, settings, options, onRow, findings);
  return run.Run();
}

double EstimateRunSeconds(const ProgramStore& program, const MachineState& settingsSource,
                          double overridePercent, const double scale[4],
                          const std::atomic<bool>* cancel, std::vector<Finding>* findings,
                          SimulationGate* gate) {
  ProgramStore copy = program;
  SimulationOptions o;
  o.overridePercent = overridePercent;
  for (int i = 0; i < 4; ++i) o.scale[i] = scale[i];
  o.drawingPass = false;
  o.rows = false;
  o.check = findings != nullptr;
  o.cancel = cancel;
  o.gate = gate;
  o.direct = true;
  const SimulationTotals t = Simulate(copy, settingsSource, o, nullptr, findings);
  return t.cancelled ? std::numeric_limits<double>::quiet_NaN() : t.seconds;
}

}  // namespace brimo
