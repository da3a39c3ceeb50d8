// SettingsForm: the editing surface of the configuration, modelled without
// a toolkit. It holds the texts and values of the settings dialog's fields
// and of the main window's home panel, exactly as the operator sees them.
// The configuration file is written from this model and read back into it;
// the Qt dialogs only show and edit it.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace brimo {

struct SettingsForm {
  // Settings dialog. Lengths and rates are in the unit the unit options
  // select; each field's control and brimo.cfg line are bound in
  // kSettingLines (settings_table.h).
  std::string StepsPerRevX = "400", StepsPerRevY = "400", StepsPerRevZ = "400";  // steps/drive turn
  std::string StepPinX = "3", DirPinX = "2";  // parallel port pins; outside 2..9 drive nothing
  std::string StepPinY = "5", DirPinY = "4";
  std::string StepPinZ = "7", DirPinZ = "6";
  // Tool change position, shown only.
  std::string ToolChangeX = "0", ToolChangeY = "0", ToolChangeZ = "15";
  // Jog rates, length units/min; the fast ones also time G00.
  std::string FastRateX = "500", MediumRateX = "200", SlowRateX = "100";
  std::string FastRateY = "500", MediumRateY = "200", SlowRateY = "100";
  std::string FastRateZ = "500", MediumRateZ = "200", SlowRateZ = "100";
  // Switch pins, shown only: the switches read fixed pins.
  std::string HomePinX = "10", HomePinY = "11", HomePinZ = "12";
  std::string LimitPin = "13";
  std::string LeadX = "3.00", LeadY = "3.00", LeadZ = "3.00";  // travel per drive turn
  int ReverseX = 0, ReverseY = 0, ReverseZ = 0;                // check boxes, 0 or 1
  bool UnitsMm = true, UnitsInch = false;                      // the two unit options
  std::string PulseWidth = "5";                                // microseconds
  int HomeSwitchEnabled = 0, LimitSwitchEnabled = 0;           // check boxes, 0 or 1
  // The Z move before homing ("Limit switch", "Relative", "Absolute",
  // "None") and before moving to a line ("Relative", "Absolute"), each with
  // its distance in length units; the dialog's "Rel/Abs" choice.
  std::string ZHomingMoveMode = "Relative";
  std::string ZToLineMoveMode = "Relative";
  std::string CoordinateMode = "Rel.";
  std::string ZHomingMoveDistance = "10";
  std::string ZToLineMoveDistance = "10";
  // Which parallel port: the ppdev device (Linux) and the data register's
  // I/O address in hexadecimal for direct I/O and InpOut32 (status at the
  // address + 1). The defaults are PortAddress's: the first on-board port.
  std::string PortDevice = "/dev/parport0";
  std::string PortBase = "0x378";
  // Unit labels beside the fields (not saved: they follow the unit options).
  std::string LeadUnitLabel = "mm/";      // heads the lead column
  std::string ZHomingUnitLabel = "(mm)";  // beside ZHomingMoveDistance
  std::string ZToLineUnitLabel = "(mm)";  // beside ZToLineMoveDistance

  // Main window home panel: the reference homing goes to (one of three
  // options), the move kind ("Rapid" or a feed move) and its feed rate.
  bool HomeUsingHomeSwitch = true, HomeUsingProgramZero = false, HomeUsingMachineZero = false;
  std::string HomeMoveKind = "Rapid";
  std::string HomeFeedrate = "100";

  // Selecting a unit option: labels change; unless `configLoading`, every
  // length and rate field is converted in place, keeping 7 significant
  // digits in inches and 6 in millimetres (the option already selected
  // converts nothing). Returns false and leaves every field and the unit
  // choice as they were when a field is not a number; `badField` then names
  // it.
  bool SelectInches(bool configLoading, std::string* badField = nullptr);
  bool SelectMillimetres(bool configLoading, std::string* badField = nullptr);

  // "Cancel" in the settings dialog: every field of the dialog (texts, check
  // boxes, unit choice and labels) as `shown` holds it, the home panel's
  // fields as they are now.
  void RestoreDialogFields(const SettingsForm& shown);
};

// The fields of one axis, for code that treats X, Y and Z alike.
struct AxisFields {
  std::string SettingsForm::*lead;
  std::string SettingsForm::*stepsPerRev;
  std::string SettingsForm::*stepPin;
  std::string SettingsForm::*dirPin;
  std::string SettingsForm::*homePin;
  std::string SettingsForm::*rates[3];  // fast, medium, slow
  std::string SettingsForm::*toolChange;
  int SettingsForm::*reverse;
};

inline constexpr AxisFields kAxisFields[3] = {
    {&SettingsForm::LeadX,
     &SettingsForm::StepsPerRevX,
     &SettingsForm::StepPinX,
     &SettingsForm::DirPinX,
     &SettingsForm::HomePinX,
     {&SettingsForm::FastRateX, &SettingsForm::MediumRateX, &SettingsForm::SlowRateX},
     &SettingsForm::ToolChangeX,
     &SettingsForm::ReverseX},
    {&SettingsForm::LeadY,
     &SettingsForm::StepsPerRevY,
     &SettingsForm::StepPinY,
     &SettingsForm::DirPinY,
     &SettingsForm::HomePinY,
     {&SettingsForm::FastRateY, &SettingsForm::MediumRateY, &SettingsForm::SlowRateY},
     &SettingsForm::ToolChangeY,
     &SettingsForm::ReverseY},
    {&SettingsForm::LeadZ,
     &SettingsForm::StepsPerRevZ,
     &SettingsForm::StepPinZ,
     &SettingsForm::DirPinZ,
     &SettingsForm::HomePinZ,
     {&SettingsForm::FastRateZ, &SettingsForm::MediumRateZ, &SettingsForm::SlowRateZ},
     &SettingsForm::ToolChangeZ,
     &SettingsForm::ReverseZ},
};

// The home panel's three options, in the panel's order (one of them is
// selected, or none when brimo.cfg selects none).
inline constexpr bool SettingsForm::*kHomeReferences[3] = {&SettingsForm::HomeUsingHomeSwitch,
                                                           &SettingsForm::HomeUsingProgramZero,
                                                           &SettingsForm::HomeUsingMachineZero};

// One field the machine cannot use: the field in the form, for two step or
// direction lines on one pin also the earlier of the two (`other`), and the
// operator's words naming the field ("Lead X must be a positive number; it
// reads "abc".").
struct FieldProblem {
  const std::string* field = nullptr;
  const std::string* other = nullptr;
  std::string message;
};

// The settings the machine can use: every steps-per-turn, lead and jog/rapid
// rate a positive number, no two of the six step and direction lines on
// the same driven pin, a port device named and a port address ReadPortBase
// reads. Returns every field that fails, in the dialog's order (leads,
// steps, pins, rates, port). "Ok" and the load of brimo.cfg both apply
// exactly this rule.
std::vector<FieldProblem> FieldProblems(const SettingsForm& form);

// "Ok" in the settings dialog may save only settings the machine can use
// (FieldProblems). Returns false with `message` (for the operator, naming
// the field or the two lines) at the first field that fails.
bool ValidateForOk(const SettingsForm& form, std::string& message);

// The lowest and highest data register address a port may have: the status
// and control registers follow it at +1 and +2 within the 16-bit I/O space.
inline constexpr unsigned kPortBaseMin = 0x1;
inline constexpr unsigned kPortBaseMax = 0xFFFD;

// A port address text as the I/O address of the data register: hexadecimal
// digits with or without "0x", in any case, blanks around them allowed
// ("0x378", "378", "0XD010", "e800"), within kPortBaseMin..kPortBaseMax.
// Anything else gives false.
bool ReadPortBase(std::string_view text, unsigned& base);

// The address as brimo.cfg and the dialog show it: "0x" and upper-case
// digits ("0x378", "0xD010").
std::string FormatPortBase(unsigned base);

// ---- Number texts of the settings (locale-free, "." as decimal point) -----

// A whole field text as a number: blanks around it allowed, an optional sign,
// digits with at most one period, an optional exponent. Anything else ("",
// "abc", "3,5", "12 mm", "inf") is not a number and gives false.
bool ReadFieldNumber(std::string_view text, double& value);

// The leading number of a display text (blanks skipped before it, optional
// sign, digits, one period, exponent E or D); no digits give 0. "37.5 " reads
// 37.5, "100 (ROUGH)" 100, "abc" 0.
double LeadingNumber(std::string_view text);

// `value` with exactly `decimals` decimals ("0.000" is 3, "0" is 0), rounded
// half away from zero on its 15-digit decimal form, so 2.675 gives "2.68".
// A value that rounds to zero carries no minus sign.
std::string FormatFixed(double value, int decimals);

}  // namespace brimo
