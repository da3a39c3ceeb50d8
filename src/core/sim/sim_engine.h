// Headless simulation: a program run through the very core the window runs
// (program store, parser, dispatch, arcs, drilling, step engine, run loop),
// without a window and without hardware, paced exactly as an online run.
//
// How a simulation runs: the load's steps of File > Open (program zero where
// the tool stands, the drawing pass), then "Execute Program" from the
// beginning, ONLINE against a port that only counts (and optionally dumps)
// what is written, with a virtual clock of 10^9 ticks per second. The busy
// wait of every pulse jumps straight to the due time, so each pulse is
// spaced exactly as WaitPulseInterval spaces it online (StepRate, the 0.707
// diagonal stretch), and the elapsed time is the last pulse's rise in clock
// ticks / 10^9. The switch
// byte always reads 127 (no switch active), so nothing stops a run.
//
// What an operator would do is done at once: a tool change is reported and
// "Execute Program" pressed again; a line the parser marks bad is skipped
// (the question is answered Yes); a move refused at its set-up (no feed, too
// many steps) is reported and the run goes on with the next line.
//
// What the run shows its window drives the rows and, with the check on, the
// program check's findings (program_check.h).
//
// Callers: the command line (`brimocnc --simulate`, sim_command_line.h), the
// window (the run time estimate of a loaded program), tests and benchmarks.
#pragma once

#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

namespace brimo {

struct Finding;
struct MachineState;
struct ProgramStore;
class VcdWriter;

// Ticks per second of the simulation clock: 1 tick = 1 ns.
inline constexpr long long kSimulationFrequency = 1'000'000'000;

// Holds simulations between two steps of their work (a line, a move) while
// something else must have the processor: the window holds its run-time
// estimate while motion runs online. A held simulation sleeps on a condition
// variable (it does not spin) until released or until its cancel flag is set
// and Wake() called. One gate may serve several simulations.
class SimulationGate {
 public:
  void Hold();     // simulations stop at their next look at the gate
  void Release();  // ... and go on
  // Wakes the held simulations to look at their cancel flags again.
  void Wake();
  bool Held() const { return held_.load(std::memory_order_acquire); }
  // Simulations now sleeping at the gate.
  int Waiting() const;
  // Returns when the gate is not held or `cancel` is set (a simulation calls
  // it between two steps of its work).
  void Pass(const std::atomic<bool>* cancel);

 private:
  std::atomic<bool> held_{false};
  mutable std::mutex lock_;
  std::condition_variable changed_;
  int waiting_ = 0;
};

struct SimulationOptions {
  double overridePercent = 100;               // as the window's "%Overide"
  double scale[4] = {1, 1, 1, 1};             // feed, X and I, Y and J, Z
  bool drawingPass = true;                    // DrawProgram first, as File > Open does
  bool rows = true;                           // report one row per line read
  bool check = false;                         // collect findings (see Finding)
  VcdWriter* vcd = nullptr;                   // pulse train dump, or none
  const std::atomic<bool>* cancel = nullptr;  // set true to abandon the run
  SimulationGate* gate = nullptr;             // holds the run while held, or none
  // Each move's first pulse is made by the core, the rest at once from its
  // step counts (see direct_moves.h): the same time within 0.1 %, at a small
  // fraction of the cost. Rows and the check are unchanged; ignored with a
  // pulse dump, which needs every pulse.
  bool direct = false;
};

// One program line as the run read it. Positions in program coordinates
// (length units), at the end of the line's motion.
struct SimulationRow {
  long line = 0;  // 1..LineCount; LineCount + 1 for the pass after the last
  std::string text;
  std::string motion;  // motion word in force for the line
  double x = 0, y = 0, z = 0;
  long steps[3] = {0, 0, 0};  // steps made per axis (X, Y, Z), either direction
  long pulses = 0;            // pulses, empty ones included
  double seconds = 0;         // elapsed since the start, at the line's end
  std::string note;           // tool change, refusal; empty otherwise
  bool refused = false;       // nothing (or not all) of the line was made
};

struct SimulationTotals {
  long lines = 0;  // lines read by the run
  long pulses = 0;
  long directPulses = 0;  // of `pulses`, made at once (the direct mode)
  long steps[3] = {0, 0, 0};
  double seconds = 0;                              // estimated run time
  double prg[3] = {0, 0, 0}, mach[3] = {0, 0, 0};  // final positions
  long toolChanges = 0;
  long refusedLines = 0;  // bad lines and lines with a refused move
  // Pulse timing on the simulation's clock: zero, as its waits land exactly
  // on the due tick (kept for the summary's shape).
  double worstLatenessUs = 0;
  long latePulses = 0;    // pulses later than a quarter interval
  bool finished = false;  // the run reached the end of the program
  bool cancelled = false;
  long stoppedAt = 0;  // line at which an unfinished run stood
};

using RowSink = std::function<void(const SimulationRow&)>;

// Simulates `program` with the settings (and derived values) of `settings`;
// everything else starts as after a fresh start. Rows go to `onRow` as each
// line ends (when options.rows); findings are appended to `findings` (when
// options.check, in line order: first what each line's text says, then
// what the run makes of it). `program` is only read. Allocates nothing per
// pulse.
SimulationTotals Simulate(ProgramStore& program, const MachineState& settings,
                          const SimulationOptions& options, const RowSink& onRow = nullptr,
                          std::vector<Finding>* findings = nullptr);

// The run time in seconds of `program` with the settings of `settingsSource`,
// the override in percent and the four scale factors: the same simulation
// without rows or dump, and without the drawing pass (it puts every
// register back, so it cannot change the timing), in the direct mode (move
// times from step counts, within 0.1 % of the pulse-by-pulse figure). NaN
// when cancelled. Works on its own copies only: on a worker thread, pass a
// program and settings that the caller does not change meanwhile.
// With `findings`, the same run also collects the program check's findings
// (at no cost worth counting), so the window needs no second simulation.
// With `gate`, the run sleeps while the gate is held.
double EstimateRunSeconds(const ProgramStore& program, const MachineState& settingsSource,
                          double overridePercent, const double scale[4],
                          const std::atomic<bool>* cancel = nullptr,
                          std::vector<Finding>* findings = nullptr, SimulationGate* gate = nullptr);

// Copies the settings and the values derived from them, nothing of the live
// state (positions, registers, run flags).
void CopySettings(const MachineState& from, MachineState& to);

}  // namespace brimo
