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
  // Settings dialog (control names as on the dialog).
  std::string Combo2[3] = {"400", "400", "400"};           // steps per drive turn X,Y,Z
  std::string Combo1[6] = {"3", "2", "5", "4", "7", "6"};  // step/dir pins X,Y,Z
  std::string Combo6[3] = {"0", "0", "15"};                // tool change position
  std::string Combo3[9] = {"500", "200", "100", "500", "200",
                           "100", "500", "200", "100"};  // fast/medium/slow X,Y,Z
  std::string Combo8[4] = {"10", "11", "12", "13"};      // home pins X,Y,Z; limit pin
  std::string Combo7[3] = {"3.00", "3.00", "3.00"};      // lead per turn
  int XReverse = 0, YReverse = 0, ZReverse = 0;
  bool optionmm = true, OptionIn = false;
  std::string Combo4 = "5";  // pulse width, microseconds
  int Check1[2] = {0, 0};    // enable home switch, enable limit switch
  std::string Combo5 = "Relative";
  std::string Combo10 = "Relative";
  std::string Combo9 = "Rel.";
  std::string Text1 = "10";  // Z distance (homing)
  std::string Text2 = "10";  // Z distance (to line)
  // Unit labels.
  std::string Label4 = "mm/";
  std::string Label18 = "(mm)";
  std::string Label24 = "(mm)";

  // Main window home panel.
  bool Option4[3] = {true, false, false};  // home switches, program zero, machine zero
  std::string HomeCombo1 = "Rapid";        // MDIForm1.Combo1: move kind
  std::string Text6 = "100";               // MDIForm1.Text6: home feed rate

  // Selecting a unit option: labels change; unless `configLoading`, every
  // length and rate field is converted in place, keeping 7 significant
  // digits in inches and 6 in millimetres (the option already selected
  // converts nothing). Returns false and leaves every field and the unit
  // choice as they were when a field is not a number; `badField` then names
  // it.
  bool OptionIn_Click(bool configLoading, std::string* badField = nullptr);
  bool optionmm_Click(bool configLoading, std::string* badField = nullptr);

  // "Cancel" in the settings dialog: every field of the dialog (texts, check
  // boxes, unit choice and labels) as `shown` holds it, the home panel's
  // fields as they are now.
  void RestoreDialogFields(const SettingsForm& shown);
};

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
// rate a positive number, and no two of the six step and direction lines on
// the same driven pin. Returns every field that fails, in the dialog's order
// (leads, steps, pins, rates). "Ok" and the load of brimo.cfg both apply
// exactly this rule.
std::vector<FieldProblem> FieldProblems(const SettingsForm& form);

// "Ok" in the settings dialog may save only settings the machine can use
// (FieldProblems). Returns false with `message` (for the operator, naming
// the field or the two lines) at the first field that fails.
bool ValidateForOk(const SettingsForm& form, std::string& message);

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
