// The configuration file brimo.cfg: one value per line, fixed order, no
// keys, CR LF line ends. The file is the only road from the settings form to
// MachineState: "Ok" saves the form, then loads it back.
//
// Lines 1 to 48 are in every file (a shorter one is damaged). Lines 49 (the
// ppdev device) and 50 (the port's I/O address) came later: a file that ends
// before them takes their defaults without a word. Lines after 50 are a
// newer build's: kept as read and written back after them. Older builds read
// 48 lines and drop the rest when they save.
#pragma once

#include <cstddef>
#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

namespace brimo {

struct MachineState;
struct SettingsForm;
class Window;

// Lines every brimo.cfg holds: a file with fewer is damaged.
inline constexpr int kConfigRequiredLines = 48;
// Lines this build reads and writes: the required ones, then the port's two,
// which a file may leave out.
inline constexpr int kConfigLines = 50;
inline constexpr const char* kConfigName = "brimo.cfg";
// A save writes this file beside brimo.cfg and renames it over the old one.
inline constexpr const char* kConfigTempName = "brimo.cfg.tmp";
// Where start-up keeps a brimo.cfg it could not load before rewriting it.
inline constexpr const char* kConfigBadName = "brimo.cfg.bad";

struct ConfigResult {
  bool ok = false;       // every line was read and used as it stands
  bool missing = false;  // no file at all (first start): not an error to report
  // The file was read and is in force: every usable line as it stands, every
  // other line (`replaced`) with its default. False when the file could not
  // be opened: the settings then stay as they were.
  bool applied = false;
  int badLine = 0;  // 1-based first line that could not be used (0: none)
  std::string why;  // plain words for the operator about that line
  // One text per replaced line, in line order, naming the line, why and the
  // value used instead ("Line 26: Lead X must be ... Used instead: 3.00.").
  std::vector<std::string> replaced;
};

// Reads <folder>/brimo.cfg into the settings and the form, in the fixed order,
// then DeriveSettings. Every line is checked as Settings "Ok" checks the form
// (FieldProblems) and as its kind needs (a check value 0 or 1, an option True
// or False, a unit value a number); a line that fails, or that a short file
// does not hold, is replaced by its default in the settings and the form,
// all others apply (lines 49 and 50 missing from a 48-line file take their
// defaults without being reported). The lines after 50 go to
// ms.ConfigLinesAfter. `feedDisplay` is the main window's feed display text.
ConfigResult LoadConfiguration(const std::string& folder, MachineState& ms, SettingsForm& form,
                               const std::string& feedDisplay);

// The same load from a configuration file of any name and folder (the
// simulator's --config FILE); LoadConfiguration is this on <folder>/brimo.cfg.
ConfigResult LoadConfigurationFile(const std::string& file, MachineState& ms, SettingsForm& form,
                                   const std::string& feedDisplay);

// The file operations a save goes through, one function each, so a test can
// make any single step fail. Each fails as its C counterpart does, with the
// reason in errno; the rename reports in `ec`.
struct ConfigFileOps {
  // Creates or truncates, binary; null on failure.
  std::FILE* (*open)(const std::filesystem::path& p);
  std::size_t (*write)(const void* data, std::size_t bytes, std::FILE* f);  // bytes written
  int (*flush)(std::FILE* f);  // stdio buffer to the system: 0, or EOF
  int (*sync)(std::FILE* f);   // system buffers to the disk: 0, or -1
  int (*close)(std::FILE* f);  // 0, or EOF
  void (*rename)(const std::filesystem::path& from, const std::filesystem::path& to,
                 std::error_code& ec);  // replaces `to` in one step
};
// The operations on the real file system (stdio, fsync or _commit,
// std::filesystem::rename).
const ConfigFileOps& SystemFileOps();

// Writes <folder>/brimo.cfg from the form (lines 34 and 36 from the settings)
// through a temporary file renamed over the old one, so a failed write never
// leaves a truncated configuration. A brimo.cfg that is a symbolic link is
// written through it (the file it points to is replaced, the link stays); a
// read-only brimo.cfg (no write permission) is left as it is. Returns false
// with `why` on failure; `readOnly` tells the read-only case apart. `ops`
// are the file operations it goes through (the real ones unless a test
// passes failing ones).
bool SaveConfiguration(const std::string& folder, const MachineState& ms, const SettingsForm& form,
                       std::string& why, bool* readOnly = nullptr,
                       const ConfigFileOps& ops = SystemFileOps());

// The same save, telling the operator when it fails (one message; a
// read-only file only once per run, recorded in ConfigReadOnlyTold); the
// program carries on with the settings in force. Returns false then.
bool SaveConfiguration(const std::string& folder, MachineState& ms, const SettingsForm& form,
                       Window& win, const ConfigFileOps& ops = SystemFileOps());

// Takes the form's current contents into the settings and derives, exactly
// as a save followed by a load would, without touching any file. Start-up
// runs it on the form's defaults before the first load, so no move can ever
// see a zero or missing step size.
ConfigResult ApplyFormSettings(MachineState& ms, SettingsForm& form,
                               const std::string& feedDisplay);

// Every replaced line, one per text line ("Line 26: ... Used instead: 3.00."),
// or why the file could not be read at all.
std::string ConfigProblem(const ConfigResult& r);

// The exact bytes a save writes: the kConfigLines lines, then the lines
// after them kept from the last load (MachineState::ConfigLinesAfter), each
// ended by CR LF. Texts are written as the form shows them with any CR or LF
// left out, so a value can never spill into the next line; the port address
// is written as "0x378" when it reads as one.
std::string ConfigText(const MachineState& ms, const SettingsForm& form);

// Start-up: load; for a damaged file keep a copy under the first free name
// of brimo.cfg.bad, brimo.cfg.bad.2 ... brimo.cfg.bad.5 (never overwriting
// one, never an empty one), tell the operator once which lines were replaced
// and by what, rewrite brimo.cfg and work offline (Offline and
// SettingsNeedConfirm set, the box ticked) until Settings "Ok". A file that
// cannot be kept is left as it is. Then save (telling the operator once if
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

// DeriveSettings guarded against unusable inputs: stops at the first value it
// cannot use (a lead or steps-per-turn marked unreadable in `in`, a
// steps-per-turn of 0, the selected unit's value marked unreadable); values
// derived before it keep their new values, the rest their old ones. Returns
// the 1-based configuration line of that value, or 0 when everything was
// derived. DeriveSettings is this with every input readable; the load checks
// every value first, so it always derives everything.
int DeriveSettingsFrom(MachineState& ms, const SettingsForm& form, const std::string& feedDisplay,
                       const DeriveInputs& in);

}  // namespace brimo
