// The settings dialog's "Ok", toolkit-free: check the form, convert the
// positions when the unit changes, save brimo.cfg from the form and load it
// back (the only road by which edited settings reach the machine).
#pragma once

#include <string>

namespace brimo {

struct Core;
struct SettingsForm;

// True when the settings were saved and loaded. False, with `message` for the
// operator, when a field cannot be used (nothing saved), when the unit would
// change while a run is stopped or halted in the middle of the program or
// motion is under way, or when the file could not be written or read back.
// When the load names another port device or address, the open port is let
// go (c.port.Release), so the next online pulse opens the new one.
bool ApplySettingsOk(Core& c, SettingsForm& form, const std::string& folder, std::string& message);

}  // namespace brimo
