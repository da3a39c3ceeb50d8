// Operator panels of the main window, toolkit-free: jogging, home moves, the
// feed override and the coordinate set-up. The Qt panels read their controls,
// call these, and show the result.
//
// Units: rates in length units per minute, StepRate in steps per second,
// positions in program or machine coordinates (length units).
#pragma once

#include <string>

namespace brimo {

struct Core;
struct MachineState;
struct SettingsForm;

// ---- Jogging --------------------------------------------------------------
enum class JogSpeed { Fast, Med, Slow, Step };
enum MouseButton { kLeftButton = 1, kRightButton = 2, kMiddleButton = 4 };

// Axis (1 X, 2 Y, 3 Z) and direction (+1/-1) of jog button `index` (1..6):
// 6 "Z +", 1 "Z -", 4 "X +", 2 "X -", 3 "Y +", 5 "Y -". Axis 0 for others.
struct JogButton {
  int axis = 0;
  int direction = 0;
};
JogButton JogButtonFor(int index);

// Press: with a continuous speed, steps the axis until a stop is requested
// (the release, "Pause", a key, the limit switch) and returns then; with
// "Step", one pulse. Only the left button jogs; refused while other motion
// is under way. MotionWord is put back when the jog ends.
void Jog(Core& c, int index, int button, JogSpeed speed);
// Release: ends a continuous jog after its pulse in progress. It only
// requests a stop (as any key does: during a run whose motion refused the
// press, it stops that run) and changes no register, target or stop record.
void EndJog(Core& c, int index, int button, JogSpeed speed);

// ---- Home moves -------------------------------------------------------------
// Text6 ("Feedrate:") is enabled exactly when the move kind is not "Rapid".
bool HomeFeedFieldEnabled(const std::string& moveKind);
// "Home the Machine": Z first rises alone, at the Z Fast rate, to the safe
// height of the "Z-axis move (Homing)" setting (HomingSafeZ) or to the last
// Z end point when that is higher; then X and Y go to machine zero or program
// zero, as a rapid or at the "Feedrate:" feed. Z never goes down. The
// registers a stopped run reads and its stop record are left as found.
// "Using Home Switchs": no move, said in the window's message line.
void Home(Core& c, const SettingsForm& home);

// The safe height of a home move, from ZHomingMoveMode / ZHomingMoveDistance:
//   "Relative"     the distance above program Z 0 (also any unknown text)
//   "Absolute"     the program Z where machine Z equals the distance
//   "None"         no safe height
//   "Limit switch" online: up to the home Z switch; offline as "Relative"
enum class HomingRise { kNone, kToHeight, kToSwitch, kBadDistance };
struct HomingSafeZ {
  HomingRise rise = HomingRise::kNone;
  double z = 0;  // program Z (length units), for kToHeight
};
HomingSafeZ HomingSafeHeight(const MachineState& ms);

// ---- Feed override ------------------------------------------------------------
inline constexpr double kOverrideMin = 2, kOverrideMax = 500;  // percent
// Override text as a percentage in [2, 500]; false for anything else.
bool ParseOverride(const std::string& text, double& percent);
// "Faster" (index 0) / "Slower" (index 1): plus or minus 2 points whatever
// the list says, held within [2, 500].
double OverrideAfterButton(double percent, int index);
// The quick display while the operator edits: programmed feed times
// override / 100, as plain number text.
std::string QuickFeedText(double programFeed, double percent);

// ---- Coordinate set-up -----------------------------------------------------------
// Zero program or machine coordinates at once ("Zero" buttons).
void ZeroProgram(Core& c);
void ZeroMachine(Core& c);

// The "Set ... Coordinates" dialog as a model: fields filled on opening, an
// axis written on "OK" only when its field was changed or zeroed. A field
// must hold a whole number text (ReadFieldNumber: "12.5", "-3", "1e2");
// anything else is refused with a message naming the field, never read as 0.
struct CoordinateDialog {
  static constexpr const char* kProgramCaption = "Set Program Coordinates";
  static constexpr const char* kMachineCaption = "Set Machine Coordinates";
  static constexpr const char* kFieldNames[3] = {"X", "Y", "Z"};
  std::string caption = kProgramCaption;
  std::string fields[3] = {"0.0000", "0.0000", "0.0000"};
  bool changed[3] = {false, false, false};

  void Open(const Core& c, bool machine);  // program or machine coordinates
  void Edit(int index, const std::string& text);
  // Leaving a field: a number is rewritten "0.0000". Anything else stays as
  // typed (for the operator to mend) and gives false with `message` naming
  // the field.
  bool LostFocus(int index, std::string* message = nullptr);
  void Zero(int index);  // "Zero X/Y/Z"
  void ZeroAll();        // "Zero all"
  // "OK": writes the changed axes and returns true. Writes nothing and
  // returns false while motion is under way (a beep) or when a changed field
  // is not a number (a message naming the first such field).
  bool Ok(Core& c);
};

}  // namespace brimo
