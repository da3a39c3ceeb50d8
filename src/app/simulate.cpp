#include "app/simulate.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <limits>
#include <memory>
#include <ostream>
#include <set>
#include <string>
#include <vector>

#include "app/direct_moves.h"
#include "app/vcd_writer.h"
#include "interpreter/dispatch.h"
#include "interpreter/draw_program.h"
#include "interpreter/parser.h"
#include "interpreter/run_control.h"
#include "machine/config_file.h"
#include "machine/core.h"
#include "machine/machine_state.h"
#include "machine/messages.h"
#include "machine/quiet_window.h"
#include "machine/settings_form.h"
#include "plot/plot_geometry.h"
#include "plot/plot_state.h"
#include "plot/program_store.h"
#include "plot/toolpath.h"

namespace brimo {

namespace fs = std::filesystem;

namespace {

std::string Trimmed(const std::string& s) {
  const size_t a = s.find_first_not_of(" \t");
  if (a == std::string::npos) return "";
  return s.substr(a, s.find_last_not_of(" \t") - a + 1);
}

std::string Quoted(const std::string& s) { return "\"" + s + "\""; }

// Fixed decimals, period as the decimal point whatever the locale.
std::string Fixed(double v, int decimals) {
  char buf[400];
  auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, decimals);
  return std::string(buf, r.ptr);
}

// ---- What a line's text says ----------------------------------------------------
//
// The dialect stays as it is (a line that starts with a comment or a number
// is skipped, letters are case-sensitive, a non-number reads as 0, M2 and
// M30 end nothing); the check only names the lines these rules catch.

constexpr std::string_view kWordLetters = "GMTXYZAIJRFQ";
// The words whose text is read as a number (A is not used, T and G are text).
constexpr std::string_view kNumberWords = "MXYZIJRFQ";

bool IsWordLetter(char ch, bool lowerToo) {
  if (kWordLetters.find(ch) != std::string_view::npos) return true;
  return lowerToo && ch >= 'a' && ch <= 'z' &&
         kWordLetters.find(static_cast<char>(ch - 'a' + 'A')) != std::string_view::npos;
}
bool IsAsciiLetter(char ch) { return (ch >= 'a' && ch <= 'z') || (ch >= 'A' && ch <= 'Z'); }

// Word-like pieces of comment-free text: a word letter (upper-case, or also
// lower-case) that no other letter precedes, followed (blanks allowed) by a
// digit, a sign or a period, with the characters up to the next blank.
std::vector<std::string> WordLikePieces(std::string_view text, bool upper, bool lower) {
  std::vector<std::string> out;
  for (size_t i = 0; i < text.size(); ++i) {
    const char ch = text[i];
    const bool isUpper = IsWordLetter(ch, false);
    if (!((upper && isUpper) || (lower && !isUpper && IsWordLetter(ch, true)))) continue;
    if (i > 0 && IsAsciiLetter(text[i - 1])) continue;
    size_t k = i + 1;
    while (k < text.size() && (text[k] == ' ' || text[k] == '\t')) ++k;
    if (k >= text.size()) continue;
    const char next = text[k];
    if (!((next >= '0' && next <= '9') || next == '.' || next == '+' || next == '-')) continue;
    while (k < text.size() && text[k] != ' ' && text[k] != '\t') ++k;
    out.emplace_back(text.substr(i, k - i));
  }
  return out;
}

std::string Joined(const std::vector<std::string>& pieces) {
  std::string s;
  for (const std::string& p : pieces) s += (s.empty() ? "" : " ") + p;
  return s;
}

// True when a comment in parentheses on `line` holds a '(' of its own.
bool HasNestedComment(std::string_view line) {
  for (size_t i = 0; i < line.size();) {
    if (line[i] == ';') return false;
    if (line[i] != '(') {
      ++i;
      continue;
    }
    const size_t end = CommentEnd(line, i);
    if (line.substr(i + 1, end - i - 1).find('(') != std::string_view::npos) return true;
    i = end;
  }
  return false;
}

struct TextFinding {
  Finding::Kind kind;
  std::string message;
};

// The findings of one line's text on its own (no registers, no other line).
std::vector<TextFinding> TextFindings(std::string_view line) {
  std::vector<TextFinding> out;
  if (HasNestedComment(line))
    out.push_back({Finding::Kind::kNestedComment, msg::kCheckNestedComment});
  if (LineIsSkipped(line)) {
    const std::vector<std::string> words = WordLikePieces(WithoutComments(line), true, true);
    if (!words.empty())
      out.push_back({Finding::Kind::kSkippedWords, msg::kCheckSkippedWords + Joined(words)});
    return out;
  }
  for (const LineWord& w : WordsOfLine(line)) {
    if (kNumberWords.find(w.letter) == std::string_view::npos || HoldsNumber(w.text)) continue;
    out.push_back(
        {Finding::Kind::kNotANumber, Quoted(w.letter + Trimmed(w.text)) + msg::kCheckNotANumber});
  }
  // Most lines hold no lower-case letter at all: no comment-free copy needed.
  if (std::none_of(line.begin(), line.end(), [](char ch) { return ch >= 'a' && ch <= 'z'; }))
    return out;
  const std::vector<std::string> lower = WordLikePieces(WithoutComments(line), false, true);
  if (!lower.empty())
    out.push_back({Finding::Kind::kLowerCase, msg::kCheckLowerCase + Joined(lower)});
  return out;
}

// M2 or M30 on a line that is read (the M word's value).
bool EndsProgram(std::string_view line) {
  for (const LineWord& w : WordsOfLine(line)) {
    if (w.letter != 'M') continue;
    const double m = ReadNumber(w.text);
    return m == 2 || m == 30;
  }
  return false;
}

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
  ms.StopDrawWidth = 1;
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
    TegnUd(core_);
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
  ms_.StopRecordFilled = false;
  ms_.StopRequested = false;
  ms_.ResumePending = false;
  ms_.DrillCycleActive = 0;
  ms_.ContinueOnExecute = -1;
}

// The text of every line, before the run: what the dialect will not read.
void SimulationRun::CheckText() {
  if (!options_.check || !findings_) return;
  long lastRead = 0;  // the last line that is read and holds a word
  for (long i = store_.LineCount; i >= 1 && lastRead == 0; --i)
    if (!WordsOfLine(store_.Entry(i)).empty()) lastRead = i;
  for (long i = 1; i <= store_.LineCount; ++i) {
    const std::string& line = store_.Entry(i);
    for (TextFinding& f : TextFindings(line))
      findings_->push_back({i, f.kind, line, std::move(f.message)});
    if (i < lastRead && EndsProgram(line))
      findings_->push_back({i, Finding::Kind::kEndBeforeLast, line, msg::kCheckEndBeforeLast});
  }
}

SimulationTotals SimulationRun::Run() {
  SimulationTotals t;
  if (options_.gate) options_.gate->Pass(options_.cancel);
  const size_t findings0 = findings_ ? findings_->size() : 0;
  CheckText();
  Load();
  // Each press times its own pulses; the run's figures take them all.
  auto press = [&] {
    Command7_Click(core_);
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
      if (ms_.BadLinePending == 0 && (ms_.StopRecordFilled || ms_.StopRequested)) SkipRefusedMove();
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
  const MachineState& ms = ms_;
  const auto& w = ms.LineWords;
  const Motion& m = ms.MotionWord;
  if (ms.LineBad) {
    AddFinding(Finding::Kind::kBadLine, msg::kCheckBadLine + ms.LineBadReason);
    return;
  }
  // An unknown G word (G21, G90, "G90 G01") stops motion until the next
  // motion word (deliberate): coordinates under it are not moved to.
  if ((w.X || w.Y || w.Z) && m.Kind() == MotionKind::kNone) {
    AddFinding(Finding::Kind::kNoMotion, msg::kCheckNoMotion + Quoted(m.Text()));
  }
  if (m.IsArc() && ArcRequested(ms)) {
    // The centre and radius the arc set-up takes; the loop follows the
    // circle and the closing straight move jumps to the end point.
    const double cx = ms.LineStartX + ms.ArcI, cy = ms.LineStartY + ms.ArcJ;
    const double r = std::hypot(ms.ArcI, ms.ArcJ);
    const double d = std::hypot(ms.TargetX - cx, ms.TargetY - cy);
    const double off = std::fabs(d - r);
    if (r > 0 && std::isfinite(off) && off > ms.FinestStepXY) {
      AddFinding(Finding::Kind::kArcOffCircle, msg::kCheckArcOff + FormatPosition(off) +
                                                   msg::kCheckArcOffEnd +
                                                   FormatPosition(ms.FinestStepXY) + ")");
    }
  }
  if (m.Kind() == MotionKind::kDrill) {
    const std::string z = Trimmed(ms.ZWord), r = Trimmed(ms.RWord);
    auto detail = [](const std::string& kept, char letter) {
      return kept.empty() ? std::string(msg::kCheckDrillNever)
                          : msg::kCheckDrillEarlier + std::string(1, letter) + kept;
    };
    if (w.G) {
      // The line that starts the cycle should say how deep and where to.
      if (!w.Z) AddFinding(Finding::Kind::kDrillWithoutZ, msg::kCheckDrillNoZ + detail(z, 'Z'));
      if (!w.R) AddFinding(Finding::Kind::kDrillWithoutR, msg::kCheckDrillNoR + detail(r, 'R'));
    } else if (DrillRequested(ms)) {
      // A modal hole: the values of the cycle's line are used; none at all?
      if (z.empty())
        AddFinding(Finding::Kind::kDrillWithoutZ, msg::kCheckDrillNoZ + detail(z, 'Z'));
      if (r.empty())
        AddFinding(Finding::Kind::kDrillWithoutR, msg::kCheckDrillNoR + detail(r, 'R'));
    }
  }
}

// ---- Command line ------------------------------------------------------------

struct Arguments {
  std::string program, config, vcd;
  double overridePercent = 100;
  double scale[4] = {1, 1, 1, 1};
  bool json = false, check = false;
};

// Parses the arguments; false with `problem` set when they cannot be used.
bool ParseArguments(int argc, char** argv, Arguments& a, std::string& problem) {
  bool seen[7] = {};
  enum { kSim, kConfig, kOverride, kScale, kVcd, kJson, kCheck };
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    std::string value;
    bool inlineValue = false;
    if (const size_t eq = arg.find('='); arg.rfind("--", 0) == 0 && eq != std::string::npos) {
      value = arg.substr(eq + 1);
      arg = arg.substr(0, eq);
      inlineValue = true;
    }
    int which = -1;
    if (arg == "--simulate") which = kSim;
    if (arg == "--config") which = kConfig;
    if (arg == "--override") which = kOverride;
    if (arg == "--scale") which = kScale;
    if (arg == "--vcd") which = kVcd;
    if (arg == "--json") which = kJson;
    if (arg == "--check") which = kCheck;
    if (which < 0 || ((which == kJson || which == kCheck) && inlineValue)) {
      problem = msg::kSimUnknownOption + Quoted(argv[i]);
      return false;
    }
    if (seen[which]) {
      problem = arg + msg::kSimTwice;
      return false;
    }
    seen[which] = true;
    if (which == kJson) {
      a.json = true;
      continue;
    }
    if (which == kCheck) {
      a.check = true;
      continue;
    }
    if (!inlineValue) {
      if (i + 1 >= argc) {
        problem = which == kSim ? std::string(msg::kSimNoProgram) : arg + msg::kSimNeedsValue;
        return false;
      }
      value = argv[++i];
    }
    if (value.empty()) {
      problem = which == kSim ? std::string(msg::kSimNoProgram) : arg + msg::kSimNeedsValue;
      return false;
    }
    switch (which) {
      case kSim:
        a.program = value;
        break;
      case kConfig:
        a.config = value;
        break;
      case kVcd:
        a.vcd = value;
        break;
      case kOverride: {
        double v = 0;
        // The window's bounds for the override.
        if (!ReadFieldNumber(value, v) || !(v >= 2 && v <= 500)) {
          problem = msg::kSimBadOverride + Quoted(value);
          return false;
        }
        a.overridePercent = v;
        break;
      }
      case kScale: {
        std::vector<std::string> parts(1);
        for (char ch : value) {
          if (ch == ',')
            parts.emplace_back();
          else
            parts.back() += ch;
        }
        bool ok = parts.size() == 4;
        for (size_t k = 0; ok && k < 4; ++k)
          ok = ReadFieldNumber(parts[k], a.scale[k]) && std::isfinite(a.scale[k]);
        if (!ok) {
          problem = msg::kSimBadScale + Quoted(value);
          return false;
        }
        break;
      }
      default:
        break;
    }
  }
  if (a.program.empty()) {
    problem = msg::kSimNoProgram;
    return false;
  }
  return true;
}

std::string PadLeft(const std::string& s, size_t width) {
  return s.size() >= width ? s : std::string(width - s.size(), ' ') + s;
}
std::string PadRight(const std::string& s, size_t width) {
  return s.size() >= width ? s : s + std::string(width - s.size(), ' ');
}

std::string RowText(const SimulationRow& r) {
  std::string s = PadLeft(std::to_string(r.line), 6) + "  " + PadRight(r.motion, 8);
  for (double v : {r.x, r.y, r.z}) s += PadLeft(FormatPosition(v), 11);
  for (long n : r.steps) s += PadLeft(std::to_string(n), 9);
  s += PadLeft(Fixed(r.seconds, 6), 14) + "  " + r.text;
  if (!r.note.empty()) s += "  [" + r.note + "]";
  return s + "\n";
}

std::string RowJson(const SimulationRow& r) {
  std::string s = "{\"type\":\"row\",\"line\":" + std::to_string(r.line) +
                  ",\"text\":" + JsonString(r.text) + ",\"motion\":" + JsonString(r.motion) +
                  ",\"x\":" + FormatPosition(r.x) + ",\"y\":" + FormatPosition(r.y) +
                  ",\"z\":" + FormatPosition(r.z) + ",\"steps\":[" + std::to_string(r.steps[0]) +
                  "," + std::to_string(r.steps[1]) + "," + std::to_string(r.steps[2]) +
                  "],\"pulses\":" + std::to_string(r.pulses) +
                  ",\"time_s\":" + Fixed(r.seconds, 9) + ",\"note\":" + JsonString(r.note) +
                  ",\"refused\":" + (r.refused ? "true" : "false") + "}\n";
  return s;
}

std::string Triple(const double v[3], bool json) {
  if (json)
    return "[" + FormatPosition(v[0]) + "," + FormatPosition(v[1]) + "," + FormatPosition(v[2]) +
           "]";
  return "X " + FormatPosition(v[0]) + "  Y " + FormatPosition(v[1]) + "  Z " +
         FormatPosition(v[2]);
}

std::string SummaryText(const SimulationTotals& t) {
  std::string s;
  s += msg::kSimLines + std::to_string(t.lines) + "\n";
  s += msg::kSimPulses + std::to_string(t.pulses) + "\n";
  s += msg::kSimSteps + std::string("X ") + std::to_string(t.steps[0]) + "  Y " +
       std::to_string(t.steps[1]) + "  Z " + std::to_string(t.steps[2]) + "\n";
  s += msg::kSimRunTime + Fixed(t.seconds, 6) + " s (" + ClockText(t.seconds) + ")\n";
  s += msg::kSimProgramPos + Triple(t.prg, false) + "\n";
  s += msg::kSimMachinePos + Triple(t.mach, false) + "\n";
  s += msg::kSimToolChanges + std::to_string(t.toolChanges) + "\n";
  s += msg::kSimRefusedLines + std::to_string(t.refusedLines) + "\n";
  return s;
}

std::string SummaryJson(const SimulationTotals& t, long findings) {
  std::string s =
      "{\"type\":\"summary\",\"finished\":" + std::string(t.finished ? "true" : "false") +
      ",\"lines\":" + std::to_string(t.lines) + ",\"pulses\":" + std::to_string(t.pulses) +
      ",\"steps\":[" + std::to_string(t.steps[0]) + "," + std::to_string(t.steps[1]) + "," +
      std::to_string(t.steps[2]) + "],\"run_time_s\":" + Fixed(t.seconds, 9) +
      ",\"program\":" + Triple(t.prg, true) + ",\"machine\":" + Triple(t.mach, true) +
      ",\"tool_changes\":" + std::to_string(t.toolChanges) +
      ",\"refused_lines\":" + std::to_string(t.refusedLines) +
      ",\"worst_lateness_us\":" + NumberText(t.worstLatenessUs) +
      ",\"late_pulses\":" + std::to_string(t.latePulses);
  if (findings >= 0) s += ",\"findings\":" + std::to_string(findings);
  return s + "}\n";
}

std::string FindingText(const Finding& f) {
  return "line " + std::to_string(f.line) + ": " + f.message + "\n    " + f.text + "\n";
}

std::string FindingJson(const Finding& f) {
  return "{\"type\":\"finding\",\"line\":" + std::to_string(f.line) +
         ",\"kind\":" + JsonString(FindingKindName(f.kind)) + ",\"text\":" + JsonString(f.text) +
         ",\"message\":" + JsonString(f.message) + "}\n";
}

int Unusable(std::ostream& err, const std::string& problem, bool usage) {
  err << msg::kSimPrefix << problem << "\n";
  if (usage) err << msg::kSimUsage << "\n";
  return 2;
}

}  // namespace

const char* FindingKindName(Finding::Kind kind) {
  switch (kind) {
    case Finding::Kind::kNoMotion:
      return "no_motion";
    case Finding::Kind::kBadLine:
      return "bad_line";
    case Finding::Kind::kArcOffCircle:
      return "arc_off_circle";
    case Finding::Kind::kDrillWithoutZ:
      return "drill_without_z";
    case Finding::Kind::kDrillWithoutR:
      return "drill_without_r";
    case Finding::Kind::kZeroFeed:
      return "zero_feed";
    case Finding::Kind::kRefused:
      return "refused";
    case Finding::Kind::kSkippedWords:
      return "skipped_words";
    case Finding::Kind::kNotANumber:
      return "not_a_number";
    case Finding::Kind::kLowerCase:
      return "lower_case";
    case Finding::Kind::kEndBeforeLast:
      return "end_before_last";
    case Finding::Kind::kNestedComment:
      return "nested_comment";
  }
  return "unknown";
}

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

long FindingLines(const std::vector<Finding>& findings) {
  std::set<long> lines;
  for (const Finding& f : findings) lines.insert(f.line);
  return static_cast<long>(lines.size());
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

std::string JsonString(std::string_view text) {
  std::string out = "\"";
  out.reserve(text.size() + 2);
  auto hex = [&](unsigned v) {
    static const char* kDigits = "0123456789abcdef";
    out += "\\u00";
    out += kDigits[(v >> 4) & 15];
    out += kDigits[v & 15];
  };
  // Length of the valid UTF-8 sequence starting at i, or 0.
  auto utf8 = [&](size_t i) -> size_t {
    const auto b = [&](size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char c = b(i);
    size_t n = 0;
    unsigned char lo = 0x80, hi = 0xBF;
    if (c >= 0xC2 && c <= 0xDF)
      n = 2;
    else if (c >= 0xE0 && c <= 0xEF)
      n = 3, lo = c == 0xE0 ? 0xA0 : 0x80, hi = c == 0xED ? 0x9F : 0xBF;
    else if (c >= 0xF0 && c <= 0xF4)
      n = 4, lo = c == 0xF0 ? 0x90 : 0x80, hi = c == 0xF4 ? 0x8F : 0xBF;
    else
      return 0;
    if (i + n > text.size()) return 0;
    if (b(i + 1) < lo || b(i + 1) > hi) return 0;
    for (size_t k = 2; k < n; ++k)
      if (b(i + k) < 0x80 || b(i + k) > 0xBF) return 0;
    return n;
  };
  for (size_t i = 0; i < text.size();) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c == '\n') {
      out += "\\n";
    } else if (c == '\r') {
      out += "\\r";
    } else if (c == '\t') {
      out += "\\t";
    } else if (c < 0x20 || c == 0x7F) {
      hex(c);
    } else if (c < 0x80) {
      out += static_cast<char>(c);
    } else if (const size_t n = utf8(i); n > 0) {
      out.append(text.substr(i, n));
      i += n;
      continue;
    } else {
      hex(c);  // not UTF-8: the byte as a Latin-1 character
    }
    ++i;
  }
  return out + "\"";
}

std::string ClockText(double seconds) {
  if (!(seconds >= 0) || !std::isfinite(seconds)) return "-";
  const long long tenths = std::llround(seconds * 10);
  const long long h = tenths / 36000, m = tenths / 600 % 60, s = tenths / 10 % 60, d = tenths % 10;
  return std::to_string(h) + ":" + (m < 10 ? "0" : "") + std::to_string(m) + ":" +
         (s < 10 ? "0" : "") + std::to_string(s) + "." + std::to_string(d);
}

bool WantsSimulation(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    const std::string_view a = argv[i];
    if (a == "--simulate" || a.rfind("--simulate=", 0) == 0) return true;
  }
  return false;
}

int SimulateMain(int argc, char** argv, std::ostream& out, std::ostream& err) {
  Arguments args;
  std::string problem;
  if (!ParseArguments(argc, argv, args, problem)) return Unusable(err, problem, true);

  ProgramStore store;
  std::string why;
  if (!ReadProgramFile(args.program, store, why))
    return Unusable(err, msg::kSimProgramUnread + why, false);

  // Settings: the defaults, then brimo.cfg of the program's folder (none
  // there: the defaults stay) or the file named by --config (must load).
  MachineState settings;
  SettingsForm form;
  ApplyFormSettings(settings, form, "0");
  {
    MachineState loaded = settings;
    SettingsForm loadedForm;
    ConfigResult r;
    std::string shown;
    if (!args.config.empty()) {
      shown = args.config;
      r = LoadConfigurationFile(args.config, loaded, loadedForm, "0");
    } else {
      fs::path folder = fs::path(args.program).parent_path();
      if (folder.empty()) folder = ".";
      shown = (folder / kConfigName).string();
      r = LoadConfiguration(folder.string(), loaded, loadedForm, "0");
    }
    if (r.ok) {
      settings = loaded;
    } else if (!(r.missing && args.config.empty())) {
      return Unusable(err, msg::kSimConfigUnread + shown + ": " + ConfigProblem(r), false);
    }
  }

  std::ofstream vcdFile;
  std::vector<char> vcdBuffer;
  std::unique_ptr<VcdWriter> vcd;
  if (!args.vcd.empty()) {
    vcdBuffer.resize(1 << 20);
    vcdFile.rdbuf()->pubsetbuf(vcdBuffer.data(), static_cast<std::streamsize>(vcdBuffer.size()));
    vcdFile.open(fs::path(args.vcd), std::ios::binary | std::ios::trunc);
    if (!vcdFile) return Unusable(err, msg::kSimVcdUnwritable + args.vcd, false);
    vcd = std::make_unique<VcdWriter>(
        vcdFile, VcdSignalsFor(settings),
        "BrimoCNC simulation of " + fs::path(args.program).filename().string());
  }

  SimulationOptions o;
  o.overridePercent = args.overridePercent;
  for (int i = 0; i < 4; ++i) o.scale[i] = args.scale[i];
  o.rows = !args.check;
  o.check = args.check;
  o.vcd = vcd.get();

  std::vector<Finding> findings;
  RowSink sink;
  if (o.rows) {
    if (!args.json) out << msg::kSimRowHeading;
    sink = [&](const SimulationRow& r) { out << (args.json ? RowJson(r) : RowText(r)); };
  }
  SimulationTotals t;
  try {
    t = Simulate(store, settings, o, sink, &findings);
  } catch (const std::exception& e) {
    return Unusable(err, msg::kSimFailed + std::string(e.what()), false);
  }

  if (args.check) {
    for (const Finding& f : findings) out << (args.json ? FindingJson(f) : FindingText(f));
    if (!args.json) {
      out << (findings.empty() ? std::string(msg::kCheckNothing)
                               : std::to_string(findings.size()) + msg::kCheckFindings)
          << "\n";
    }
  }
  if (args.json) {
    out << SummaryJson(t, args.check ? static_cast<long>(findings.size()) : -1);
  } else if (!args.check) {
    out << "\n" << SummaryText(t);
  }
  out.flush();

  if (vcd) {
    const auto endTick = static_cast<int64_t>(std::llround(t.seconds * kSimulationFrequency));
    bool ok = vcd->Finish(endTick);
    vcdFile.close();
    if (!ok || vcdFile.fail()) return Unusable(err, msg::kSimVcdUnwritable + args.vcd, false);
  }

  int status = 0;
  if (!t.finished) {
    err << msg::kSimPrefix << msg::kSimStuck << std::to_string(t.stoppedAt) << msg::kSimStuckEnd
        << "\n";
    status = 1;
  }
  if (t.refusedLines > 0) status = 1;
  if (args.check && !findings.empty()) status = 1;
  return status;
}

}  // namespace brimo
