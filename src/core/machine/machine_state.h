// MachineState: the one record of settings, derived values, parser registers,
// the run's state and live machine state. Exactly one instance exists per application (owned
// by the app, or by a test fixture) and is handed by reference to every
// routine that needs it. The settings (MachineSettings), the values derived
// from them (DerivedSettings) and the registers (Registers, registers.h) are
// values of their own, so each copies as one assignment. Where a program run
// stands is one RunState value (run_state.h), not a set of flags.
//
// Units: lengths are in the machine's own length unit (mm or inch as chosen
// in the settings; numbers are never converted here), rates in length units
// per minute, StepRate in steps per second, times in counter ticks
// (CounterFrequency ticks per second), angles in radians counter-clockwise
// from +X with +Y up. Axes stored as numbers: 1 = X, 2 = Y, 3 = Z.
#pragma once

#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "core/machine/registers.h"
#include "core/machine/run_state.h"

namespace brimo {

struct SettingsForm;

// "Pulse Width" when its text is unusable (microseconds): what most drives accept.
inline constexpr double kDefaultPulseWidthUs = 5;

// Which of a pulse's data writes is being made (set before each write, so a
// port that records the train can tell them apart).
enum class PortWrite : uint8_t {
  kDirection,  // direction lines alone, a pulse width before the rise
  kRise,       // step lines high (with the direction lines)
  kFall,       // step lines low again: direction lines alone
};

// The absolute pulse schedule (see pulse_clock.h), the data register as last
// written, and the timing figures of the motion under way. Ticks are held as
// doubles so no sum can overflow.
struct PulseSchedule {
  bool restart = true;   // the next pulse starts the schedule afresh
  double restartAt = 0;  // counter reading when it did (ticks)
  double due = 0;        // schedule time of the last pulse made (ticks)
  double interval = 0;   // commanded interval of the pulse being made (ticks)
  double nominal = 0;    // its time on the schedule (ticks)
  double target = 0;     // the time its wait aims at: nominal, or later to repay lateness
  int onPort = -1;       // byte last written to the data register; -1 not known yet
  PortWrite writing = PortWrite::kRise;
  // PulseWidthUs in ticks for the width and counter frequency it was worked
  // out for (NaN: not yet).
  double holdUs = std::numeric_limits<double>::quiet_NaN();
  int64_t holdFrequency = 0;
  double holdTicks = 0;
  // Figures of the motion (cleared by RestartPulseSchedule).
  long timed = 0;        // pulses written on a running counter
  double worstLate = 0;  // ticks, rising write after its target
  long late = 0;         // pulses later than a quarter interval
};

// ---- Settings (set only by a configuration load) --------------------------
struct MachineSettings {
  double StepsPerRevX = 0, StepsPerRevY = 0, StepsPerRevZ = 0;  // steps per drive turn
  double LeadX = 0, LeadY = 0, LeadZ = 0;                       // length per screw turn
  std::string StepPinX, StepPinY, StepPinZ;                     // data pin 2..9, as typed
  std::string DirPinX, DirPinY, DirPinZ;                        // data pin 2..9, as typed
  int ReverseX = 0, ReverseY = 0, ReverseZ = 0;                 // check values 0/1
  double FastRateX = 0, FastRateY = 0, FastRateZ = 0;           // length/min; also rapid rate
  double MediumRateX = 0, MediumRateY = 0, MediumRateZ = 0;     // length/min
  double SlowRateX = 0, SlowRateY = 0, SlowRateZ = 0;           // length/min
  bool UnitsMm = false, UnitsInch = false;
  double InchUnitValue = 0, MmUnitValue = 0;  // carried through the file only
  // Step pulse width, microseconds, as typed (used through PulseWidthUs).
  std::string PulseWidth;
  // Stored and shown only: no motion, switch or port code consults these.
  std::string ToolChangeX, ToolChangeY, ToolChangeZ;
  std::string HomePinX, HomePinY, HomePinZ, LimitPin;
  int HomeSwitchEnabled = 0, LimitSwitchEnabled = 0;
  std::string ZHomingMoveMode, ZToLineMoveMode, CoordinateMode;
  std::string ZHomingMoveDistance, ZToLineMoveDistance;
  // Persistent copy of the main window's home panel.
  bool HomeUsingHomeSwitch = false, HomeUsingProgramZero = false, HomeUsingMachineZero = false;
  std::string HomeMoveKind, HomeFeedrate;
  // Which parallel port the next open reaches: the ppdev device (Linux) and
  // the data register's I/O address for direct I/O and InpOut32 (status at
  // PortBase + 1). An open port stays in use until Settings "Ok" changes one.
  std::string PortDevice;
  unsigned PortBase = 0;
  // The brimo.cfg lines after the ones this build knows (a newer build's
  // settings), exactly as read; a save writes them back after them, in order.
  std::vector<std::string> ConfigLinesAfter;

  bool operator==(const MachineSettings&) const = default;
};

// ---- Derived by DeriveSettings ------------------------------------------
struct DerivedSettings {
  double UnitsPerStepX = 0, UnitsPerStepY = 0, UnitsPerStepZ = 0;  // length per step
  double FinestStepXY = 0;  // smaller of X and Y travel per step (X on a tie)
  int FinestAxis = 0;       // 1 = X, 2 = Y
  int StepMaskX = 0, StepMaskY = 0, StepMaskZ = 0;  // data-port bit of the step pin
  int DirMaskX = 0, DirMaskY = 0, DirMaskZ = 0;     // data-port bit of the dir pin
  int DirSenseX = 0, DirSenseY = 0, DirSenseZ = 0;  // step sign that drives dir high
  double UnitValue = 0;
  // Time the step lines stay high, and the direction set-up before a rise
  // that changes a direction line (microseconds): PulseWidth, or 5 (the
  // default) when that is not a number of 0 or more.
  double PulseWidthUs = kDefaultPulseWidthUs;

  bool operator==(const DerivedSettings&) const = default;
};

// Registers (targets, line start, motion word, I/J, feed, drilling words)
// come from the Registers base; the run's state is one RunState value with
// its stop record and halt position (run_state.h).
struct MachineState : MachineSettings, DerivedSettings, Registers {
  // ---- Positions ----------------------------------------------------------
  double PrgX = 0, PrgY = 0, PrgZ = 0;     // program coordinates
  double MachX = 0, MachY = 0, MachZ = 0;  // machine coordinates
  double DistX = 0, DistY = 0, DistZ = 0;

  // ---- Step commands, port bytes, pulse clock ------------------------------
  int StepX = 0, StepY = 0, StepZ = 0;  // -1, 0, +1 for the next pulse
  int DirByte = 0;                      // data byte with direction bits only
  int PulseByte = 0;                    // data byte with direction and step bits
  int64_t LastPulseTime = 0;            // ticks, taken right after the step write
  int64_t NowTime = 0;                  // ticks, latest reading of the wait
  int64_t CounterFrequency = 0;         // ticks per second
  double StepRate = 0;                  // steps per second of the pacing axis
  double FeedNow = 0;                   // length/min in force
  // 0.707 after a pulse that stepped X and Y together, else 1. The decimal
  // 0.707 (not 1/sqrt 2) is deliberate: stored timings rely on it.
  double DiagonalFactor = 1;
  int RefAxis = 0;  // 1, 2, 3; 0 before the first move
  PulseSchedule Schedule;

  // ---- Linear move bookkeeping (whole numbers held in doubles) -------------
  double DeltaStepsX = 0, DeltaStepsY = 0, DeltaStepsZ = 0;  // signed steps
  double MoveSteps = 0;
  double StepsLeftX = 0, StepsLeftY = 0, StepsLeftZ = 0;
  // Interpolation accumulators in [0, 1); never reset between moves, so the
  // fraction left by one move carries into the next (deliberate).
  double StepAccX = 0, StepAccY = 0, StepAccZ = 0;

  // ---- Arc bookkeeping (radians) -------------------------------------------
  double ArcCenterX = 0, ArcCenterY = 0, ArcRadius = 0;
  double ArcStartAngle = 0, ArcDirection = 0, ArcAngle = 0, ArcAngleStep = 0, ArcSweep = 0;
  bool ArcMove = false;

  // ---- Parser input ---------------------------------------------------------
  // Line being read; afterwards it holds the text before the line's first word.
  std::string LineText;

  // ---- Run control ----------------------------------------------------------
  // Where the run stands (run_state.h), with the data of that state: the
  // stop record of a cut program move (kStopped) and the halt position
  // (kHalted). Stop and Halt keep their last values in the other states.
  RunState Run = RunState::kIdle;
  StopRecord Stop;
  HaltPosition Halt;
  // Line counter: the program store's entry last read (0 before the first).
  long CurrentLine = 0;
  // Flags that are not the run's state (see run_state.h for why):
  bool StopRequested = false;  // "Pause" (or a stop key): the move ends at its next pulse
  bool Running = false;        // a run, jog, home or line move is under way
  bool StepMode = false;       // halt after every line ("Step", or a tool change)
  bool StepSelected = false;   // the "Step" option is the one selected
  // "Continous" was chosen since the last "Execute Program": a press goes on
  // with the next line instead of starting over.
  bool ContinueRequested = false;
  // The next dispatch completes the cut move instead of reading a line.
  bool ResumePending = false;
  // Set by "Execute Program" when it resumes; the next straight move takes
  // the kept steps when it is that move (same start, same target), and
  // clears it either way.
  bool ResumeKeptSteps = false;
  // A program move (not a jog or home move) is being stepped: only such a
  // move's stop fills the stop record.
  bool InProgramMove = false;
  bool Offline = false;
  // The "Fast" box: offline pulses follow each other without pacing (quick
  // checks). Online it changes nothing. Not saved: false at every start.
  bool OfflineFast = false;
  bool ConfigLoading = false;
  // Start-up replaced damaged lines of brimo.cfg by defaults: the "Offline"
  // box stays ticked until Settings "Ok" has confirmed the settings.
  bool SettingsNeedConfirm = false;
  // The operator was told that brimo.cfg is read-only (told once per run).
  bool ConfigReadOnlyTold = false;

  // Readable forms of the run's state.
  bool StopRecordFilled() const { return Run == RunState::kStopped; }
  bool HaltValid() const { return Run == RunState::kHalted; }
  bool StartFromLine() const { return Run == RunState::kAtLine; }

  // ---- Step preview ------------------------------------------------------
  // The preview walks the program on its own registers (never on the run's);
  // empty until the first step after a reset of the preview.
  long PreviewLine = 0;
  std::optional<Registers> PreviewRegs;

  // ---- Switches (1 when the last reading showed the switch active) --------
  int LimitActive = 0, HomeXActive = 0, HomeYActive = 0, HomeZActive = 0;

  // ---- Live plot ------------------------------------------------------------
  double PlotEvery = 0;      // pulses between two live-plot points
  double PlotStepCount = 0;  // pulses since the last live-plot point
};

// Recomputes the derived values from the settings. `form` supplies the unit
// option buttons' state; `feedDisplay` is the main window's feed display text
// (its leading number becomes FeedNow). Callers: the configuration load only
// (and once on the defaults at start-up, so that no move ever sees a zero
// step size before the first successful load).
void DeriveSettings(MachineState& ms, const SettingsForm& form, const std::string& feedDisplay);

// Data-port bit mask of a pin: pins 2..9 give 1..128; anything else,
// including empty or non-numeric text, gives 0 (that line is never driven).
int PinMask(const std::string& pin);
int PinMask(double pin);

// True when the derived step sizes allow motion (all three positive, finite).
bool StepSizesUsable(const MachineState& ms);

}  // namespace brimo
