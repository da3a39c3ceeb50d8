// The configuration file brimo.cfg: 48 lines, one value each, fixed order,
// no keys, CR LF line ends. The file is the only road from the settings
// form to MachineState: "Ok" saves the form, then loads it back.
#pragma once

#include <string>

namespace brimo {

struct MachineState;
struct SettingsForm;
class Window;

inline constexpr int kConfigLines = 48;
inline constexpr const char* kConfigName = "brimo.cfg";

struct ConfigResult {
  bool ok = false;
  bool missing = false;  // no file at all (first start): not an error to report
  int badLine = 0;       // 1-based line that could not be read (0: none)
  std::string why;       // plain words for the operator
};

// Reads <folder>/brimo.cfg into the settings and the form, in the fixed order,
// then DeriveSettings. Stops at the first error; what was set before it stays
// set (settings read before a short file's end, controls filled before a bad
// value). `feedDisplay` is the main window's feed display text.
ConfigResult LoadConfiguration(const std::string& folder, MachineState& ms, SettingsForm& form,
                               const std::string& feedDisplay);

// Writes <folder>/brimo.cfg from the form (lines 34 and 36 from the settings)
// through a temporary file renamed over the old one, so a failed write never
// leaves a truncated configuration. Returns false with `why` on failure.
bool SaveConfiguration(const std::string& folder, const MachineState& ms,
                       const SettingsForm& form, std::string& why);

// The 48 lines the form would be saved as, without line ends.
std::string ConfigText(const MachineState& ms, const SettingsForm& form);

// Start-up: load, keep a damaged file as brimo.cfg.bad and tell the operator
// once which line could not be read, then save (telling the operator once if
// the save fails). Returns the load result.
ConfigResult StartupConfiguration(const std::string& folder, MachineState& ms,
                                  SettingsForm& form, const std::string& feedDisplay,
                                  Window& win);

}  // namespace brimo
