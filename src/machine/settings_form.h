// SettingsForm: the editing surface of the configuration, modelled without
// a toolkit. It holds the texts and values of the settings dialog's fields
// and of the main window's home panel, exactly as the operator sees them.
// The configuration file is written from this model and read back into it;
// the Qt dialogs only show and edit it.
#pragma once

#include <string>

namespace brimo {

struct SettingsForm {
  // Settings dialog (control names as on the dialog).
  std::string Combo2[3] = {"400", "400", "400"};            // steps per drive turn X,Y,Z
  std::string Combo1[6] = {"3", "2", "5", "4", "7", "6"};   // step/dir pins X,Y,Z
  std::string Combo6[3] = {"0", "0", "15"};                 // tool change position
  std::string Combo3[9] = {"500", "200", "100", "500", "200",
                           "100", "500", "200", "100"};     // fast/medium/slow X,Y,Z
  std::string Combo8[4] = {"10", "11", "12", "13"};         // home pins X,Y,Z; limit pin
  std::string Combo7[3] = {"3.00", "3.00", "3.00"};         // lead per turn
  int XReverse = 0, YReverse = 0, ZReverse = 0;
  bool optionmm = true, OptionIn = false;
  std::string Combo4 = "5";  // pulse width (stored only)
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
  // length and rate field is converted in place (the option already selected
  // converts nothing). Returns false and leaves every field and the unit
  // choice as they were when a field is not a number; `badField` then names
  // it.
  bool OptionIn_Click(bool configLoading, std::string* badField = nullptr);
  bool optionmm_Click(bool configLoading, std::string* badField = nullptr);
};

}  // namespace brimo
