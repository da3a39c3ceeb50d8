// The one table of the settings: each brimo.cfg line bound to the setting it
// sets in MachineState, to the SettingsForm field that edits it and to that
// field's control (its objectName in the settings dialog or the main
// window's home panel). The file's reader and writer walk it; the dialog and
// the home panel take their controls' names from it.
#pragma once

#include <string>
#include <variant>

#include "core/machine/config_file.h"
#include "core/machine/machine_state.h"
#include "core/machine/settings_form.h"

namespace brimo {

// What a line holds and how it is written and read back.
enum class SettingKind {
  kText,        // text setting, text control
  kNumber,      // number setting DeriveSettings needs (steps, leads), text control
  kRate,        // number setting taken by its leading number, text control
  kCheck,       // check value 0/1, check box
  kHomeOption,  // boolean, one of the home panel's three option buttons
  kUnitMm,      // boolean, the "mm" option (selecting it runs its handler)
  kUnitInch,    // boolean, the "In" option (likewise)
  kUnitValue,   // whole number kept in the settings only, no control
  kPortBase,    // I/O address, text control in hexadecimal ("0x378")
};

using FormField = std::variant<std::monostate, std::string SettingsForm::*, int SettingsForm::*,
                               bool SettingsForm::*>;
using MachineField =
    std::variant<std::string MachineState::*, double MachineState::*, int MachineState::*,
                 bool MachineState::*, unsigned MachineState::*>;

struct SettingLine {
  SettingKind kind;
  MachineField setting;  // the setting in force
  FormField field;       // the field that edits it (none for the unit values)
  const char* control;   // the field's control's objectName ("" for none)
};

// Line n of brimo.cfg is kSettingLines[n - 1]. The form's initial contents
// are the defaults; the table holds no defaults of its own.
extern const SettingLine kSettingLines[kConfigLines];

// The unit labels of the settings dialog and their controls (not saved).
struct UnitLabelLine {
  std::string SettingsForm::*field;
  const char* control;
};
extern const UnitLabelLine kUnitLabels[3];

// The 1-based brimo.cfg line that sets `setting` (0 for a setting no line
// sets).
int ConfigLineOf(const MachineField& setting);

// The objectName of a field's control, from the tables above ("" for a field
// they do not hold).
const char* ControlNameOf(std::string SettingsForm::*field);
const char* ControlNameOf(int SettingsForm::*field);
const char* ControlNameOf(bool SettingsForm::*field);

}  // namespace brimo
