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
// A save writes this file beside brimo.cfg and renames it over the old one.
inline constexpr const char* kConfigTempName = "brimo.cfg.tmp";
// Where start-up keeps a brimo.cfg it could not load before rewriting it.
inline constexpr const char* kConfigBadName = "brimo.cfg.bad";

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

// The same load from a configuration file of any name and folder (the
// simulator's --config FILE); LoadConfiguration is this on <folder>/brimo.cfg.
ConfigResult LoadConfigurationFile(const std::string& file, MachineState& ms, SettingsForm& form,
                                   const std::string& feedDisplay);

// Writes <folder>/brimo.cfg from the form (lines 34 and 36 from the settings)
// through a temporary file renamed over the old one, so a failed write never
// leaves a truncated configuration. Returns false with `why` on failure.
bool SaveConfiguration(const std::string& folder, const MachineState& ms, const SettingsForm& form,
                       std::string& why);

// The same save, telling the operator once (one message) when it fails; the
// program carries on with the settings in force. Returns false then.
bool SaveConfiguration(const std::string& folder, const MachineState& ms, const SettingsForm& form,
                       Window& win);

// Takes the form's current contents into the settings and derives, exactly
// as a save followed by a load would, without touching any file. Start-up
// runs it on the form's defaults before the first load, so no move can ever
// see a zero or missing step size.
ConfigResult ApplyFormSettings(MachineState& ms, SettingsForm& form,
                               const std::string& feedDisplay);

// "Line 26 could not be read: "abc" is not a number." and the like.
std::string ConfigProblem(const ConfigResult& r);

// The exact bytes a save writes: 48 lines, each ended by CR LF. Texts are
// written as the form shows them with any CR or LF left out, so a value can
// never spill into the next line.
std::string ConfigText(const MachineState& ms, const SettingsForm& form);

// Start-up: load, keep a damaged file as brimo.cfg.bad and tell the operator
// once which line could not be read, then save (telling the operator once if
// the save fails). Returns the load result.
ConfigResult StartupConfiguration(const std::string& folder, MachineState& ms, SettingsForm& form,
                                  const std::string& feedDisplay, Window& win);

// The values DeriveSettings needs as numbers that the load could not read as
// numbers (the settings then still hold their previous values).
struct DeriveInputs {
  bool leadOk[3] = {true, true, true};
  bool stepsOk[3] = {true, true, true};
  bool inchValueOk = true, mmValueOk = true;
};

// DeriveSettings as the load runs it: stops at the first value it cannot use
// (a lead or steps-per-turn that is not a number, a steps-per-turn of 0, the
// selected unit's value not a number); values derived before it keep their
// new values, the rest their old ones. Returns the 1-based configuration line
// of that value, or 0 when everything was derived. DeriveSettings is this
// with every input readable.
int DeriveSettingsFrom(MachineState& ms, const SettingsForm& form, const std::string& feedDisplay,
                       const DeriveInputs& in);

}  // namespace brimo
