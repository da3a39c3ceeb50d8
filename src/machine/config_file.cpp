// brimo.cfg: the reader and the writer both walk the one table of the 48
// lines (kSettingLines, settings_table.h), so they cannot drift apart.
//
// Line kinds and how they are written (each followed by CR LF):
//   text               the control's text exactly ("400", "3.00", "Relative")
//   check value        " 0 " / " 1 " (a blank where a minus sign would stand,
//                      one after; a negative whole number is "-3 ")
//   option value       "True" / "False"
//   unit value (34/36) the setting rounded to a whole number, as a check value

#include "machine/config_file.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <iterator>
#include <system_error>
#include <type_traits>
#include <variant>
#include <vector>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

#include "machine/machine_state.h"
#include "machine/messages.h"
#include "machine/settings_form.h"
#include "machine/settings_table.h"
#include "machine/window.h"

namespace brimo {

namespace fs = std::filesystem;

namespace {

using M = MachineState;

// A field of `form` as a pointer to its value (none for the unit values).
using Control = std::variant<std::monostate, std::string*, int*, bool*>;
Control ControlIn(SettingsForm& form, const FormField& field) {
  return std::visit(
      [&form](auto member) -> Control {
        if constexpr (std::is_same_v<decltype(member), std::monostate>)
          return std::monostate{};
        else
          return &(form.*member);
      },
      field);
}

// ---- Value formats -----------------------------------------------------

// Whole number with a blank where a minus sign would stand and one after.
std::string FormatWhole(double v) {
  std::string digits = FormatFixed(v, 0);
  return (digits.front() == '-' ? "" : " ") + digits + " ";
}

// Rounded to a whole number, halves to the even neighbour.
double RoundHalfEven(double v) {
  double r = std::round(v);  // halves away from zero
  if (std::fabs(v - std::trunc(v)) == 0.5 && std::fmod(r, 2.0) != 0) r -= std::copysign(1.0, v);
  return r;
}

std::string WithoutLineBreaks(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (char ch : text)
    if (ch != '\r' && ch != '\n') out += ch;
  return out;
}

bool ReadBoolean(const std::string& text, bool& value) {
  auto lower = [](std::string s) {
    for (char& ch : s)
      if (ch >= 'A' && ch <= 'Z') ch = static_cast<char>(ch - 'A' + 'a');
    return s;
  };
  std::string t = lower(text);
  if (t == "true") return value = true, true;
  if (t == "false") return value = false, true;
  double n = 0;
  if (!ReadFieldNumber(text, n)) return false;
  value = n != 0;
  return true;
}

bool ReadWhole(const std::string& text, int& value) {
  double n = 0;
  if (!ReadFieldNumber(text, n) || n != std::trunc(n) || std::fabs(n) > 1e9) return false;
  value = static_cast<int>(n);
  return true;
}

std::string Trimmed(const std::string& s) {
  size_t b = s.find_first_not_of(" \t");
  if (b == std::string::npos) return "";
  size_t e = s.find_last_not_of(" \t");
  return s.substr(b, e - b + 1);
}

std::string Quoted(const std::string& v) { return "\"" + v + "\""; }

// ---- Reading ------------------------------------------------------------

// One value per line, blanks around it dropped; CR LF, LF or CR end a line.
// A comma is part of the value, so no value can shift the ones after it.
std::vector<std::string> SplitLines(const std::string& bytes) {
  std::vector<std::string> lines;
  std::string cur;
  bool open = false;
  for (size_t i = 0; i < bytes.size() && lines.size() < kConfigLines; ++i) {
    char ch = bytes[i];
    if (ch == '\r' || ch == '\n') {
      if (ch == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') ++i;
      lines.push_back(Trimmed(cur));
      cur.clear();
      open = false;
    } else {
      cur += ch;
      open = true;
    }
  }
  if (open && lines.size() < kConfigLines) lines.push_back(Trimmed(cur));
  return lines;
}

// Step 3 of a load: the value as read into its setting. A value that does
// not denote what the setting holds leaves the setting as it was and is
// reported later, where the value is first used.
bool StoreSetting(const SettingLine& f, MachineState& ms, const std::string& v) {
  switch (f.kind) {
    case SettingKind::kText:
      ms.*std::get<std::string M::*>(f.setting) = v;
      return true;
    case SettingKind::kRate:
      // Rates are used only as numbers of a move or jog; a text that does
      // not begin with a number gives 0, which no move will run at.
      ms.*std::get<double M::*>(f.setting) = LeadingNumber(v);
      return true;
    case SettingKind::kNumber: {
      double n = 0;
      if (!ReadFieldNumber(v, n)) return false;
      ms.*std::get<double M::*>(f.setting) = n;
      return true;
    }
    case SettingKind::kUnitValue: {
      double n = 0;
      if (!ReadFieldNumber(v, n)) return false;
      // Kept as the whole number a save writes ("0.3" reads 0), so a value
      // in force never changes by being saved and read back.
      double whole = RoundHalfEven(n);
      if (!ReadFieldNumber(FormatWhole(whole), whole)) return false;
      ms.*std::get<double M::*>(f.setting) = whole;
      return true;
    }
    case SettingKind::kCheck: {
      int n = 0;
      if (!ReadWhole(v, n)) return false;
      ms.*std::get<int M::*>(f.setting) = n;
      return true;
    }
    case SettingKind::kHomeOption:
    case SettingKind::kUnitMm:
    case SettingKind::kUnitInch: {
      bool b = false;
      if (!ReadBoolean(v, b)) return false;
      ms.*std::get<bool M::*>(f.setting) = b;
      return true;
    }
  }
  return false;
}

// Step 5 of a load: the value into its control. Returns an empty text, or
// why the value cannot go there.
std::string PutControl(const SettingLine& f, MachineState& ms, SettingsForm& form,
                       const std::string& v, bool readable) {
  Control c = ControlIn(form, f.field);
  switch (f.kind) {
    case SettingKind::kText:
    case SettingKind::kRate:
    case SettingKind::kNumber:
      *std::get<std::string*>(c) = v;
      return "";
    case SettingKind::kUnitValue:
      return "";
    case SettingKind::kCheck: {
      int n = ms.*std::get<int M::*>(f.setting);
      if (!readable || (n != 0 && n != 1)) return Quoted(v) + msg::kConfigNotCheck;
      *std::get<int*>(c) = n;
      return "";
    }
    case SettingKind::kHomeOption:
    case SettingKind::kUnitMm:
    case SettingKind::kUnitInch: {
      if (!readable) return Quoted(v) + msg::kConfigNotBoolean;
      bool b = ms.*std::get<bool M::*>(f.setting);
      bool* option = std::get<bool*>(c);
      if (!b) {
        *option = false;  // clearing an option runs no handler
      } else if (f.kind == SettingKind::kUnitMm) {
        form.SelectMillimetres(true);  // labels only while loading
      } else if (f.kind == SettingKind::kUnitInch) {
        form.SelectInches(true);
      } else {
        // The home panel's options form one group: selecting one clears the
        // others.
        for (bool SettingsForm::*o : kHomeReferences) form.*o = false;
        *option = true;
      }
      return "";
    }
  }
  return "";
}

ConfigResult Failed(MachineState& ms, int line, std::string why) {
  ms.ConfigLoading = false;
  ConfigResult r;
  r.badLine = line;
  r.why = std::move(why);
  return r;
}

// The 48 default values: the file a save writes from a fresh form, with its
// lengths and rates in millimetres or, for a file in inches, converted to
// inches as the unit option converts them (a default lead of 3.00 read as
// inches would scale the axis by 25.4).
const std::vector<std::string>& DefaultValues(bool inch) {
  static const std::vector<std::string> mm = SplitLines(ConfigText(MachineState{}, SettingsForm{}));
  static const std::vector<std::string> inches = [] {
    SettingsForm form;
    form.SelectInches(false);
    return SplitLines(ConfigText(MachineState{}, form));
  }();
  return inch ? inches : mm;
}

// Why a value cannot be read as what its line holds ("" when it can). Steps,
// leads and rates are checked with the form (FieldProblems), as "Ok" does.
std::string Unreadable(const SettingLine& f, const std::string& v) {
  switch (f.kind) {
    case SettingKind::kText:
    case SettingKind::kRate:
    case SettingKind::kNumber:
      return "";
    case SettingKind::kUnitValue: {
      double n = 0;
      return ReadFieldNumber(v, n) ? "" : Quoted(v) + msg::kConfigNotNumber;
    }
    case SettingKind::kCheck: {
      int n = 0;
      return ReadWhole(v, n) && (n == 0 || n == 1) ? "" : Quoted(v) + msg::kConfigNotCheck;
    }
    case SettingKind::kHomeOption:
    case SettingKind::kUnitMm:
    case SettingKind::kUnitInch: {
      bool b = false;
      return ReadBoolean(v, b) ? "" : Quoted(v) + msg::kConfigNotBoolean;
    }
  }
  return "";
}

// The 0-based indexes of the lines of the given kinds, in line order.
std::vector<int> LinesOfKind(std::initializer_list<SettingKind> kinds) {
  std::vector<int> lines;
  for (int i = 0; i < kConfigLines; ++i)
    if (std::find(kinds.begin(), kinds.end(), kSettingLines[i].kind) != kinds.end())
      lines.push_back(i);
  return lines;
}

// The file's values with every value the machine cannot use replaced by its
// default; `r` collects one text per replaced line.
std::vector<std::string> UsableValues(const std::vector<std::string>& values, ConfigResult& r) {
  std::vector<std::string> used = DefaultValues(false);
  std::array<std::string, kConfigLines> why{};  // reason per replaced line
  const int n = static_cast<int>(values.size());
  for (int i = 0; i < n; ++i) {
    why[i] = Unreadable(kSettingLines[i], values[i]);
    if (why[i].empty()) used[i] = values[i];
  }
  // The unit options and the home panel's options each select one of their
  // group: an unreadable member is "False" when another member reads "True",
  // "True" when every other member reads "False", else its default.
  const std::vector<int> unitOptions = LinesOfKind({SettingKind::kUnitMm, SettingKind::kUnitInch});
  const std::vector<int> homeOptions = LinesOfKind({SettingKind::kHomeOption});
  for (const std::vector<int>& group : {unitOptions, homeOptions}) {
    for (int i : group) {
      if (i >= n || why[i].empty()) continue;
      bool otherTrue = false, othersAllFalse = true;
      for (int j : group) {
        if (j == i) continue;
        bool b = false;
        const bool readable = j < n && why[j].empty() && ReadBoolean(values[j], b);
        otherTrue = otherTrue || (readable && b);
        othersAllFalse = othersAllFalse && readable && !b;
      }
      if (otherTrue) used[i] = "False";
      if (othersAllFalse) used[i] = "True";
    }
    // Options select one of their group: of several that read True the last
    // one stays selected, as the form has always shown it, and the others
    // read False, so the settings never hold two units or two home choices
    // at once. Not a damaged line: such files load as before.
    bool laterTrue = false;
    for (auto it = group.rbegin(); it != group.rend(); ++it) {
      bool b = false;
      if (!ReadBoolean(used[*it], b) || !b) continue;
      if (laterTrue) used[*it] = "False";
      laterTrue = true;
    }
  }
  // The other defaults in the unit the file is in.
  bool inch = false;
  ReadBoolean(used[LinesOfKind({SettingKind::kUnitInch}).front()], inch);
  const std::vector<std::string>& defaults = DefaultValues(inch);
  for (int i = 0; i < kConfigLines; ++i) {
    const bool inGroup =
        std::ranges::count(unitOptions, i) + std::ranges::count(homeOptions, i) > 0;
    if (!inGroup && (i >= n || !why[i].empty())) used[i] = defaults[i];
  }
  // The form's rules, on the values as they would stand in the form. A pin
  // shared by two lines gives one of them its default: the later one, or the
  // earlier when the later already holds its own default (the defaults never
  // share a pin, so this ends).
  for (int round = 0; round < kConfigLines; ++round) {
    SettingsForm trial;
    for (int i = 0; i < kConfigLines; ++i) {
      Control c = ControlIn(trial, kSettingLines[i].field);
      if (auto* text = std::get_if<std::string*>(&c)) **text = used[i];
    }
    const std::vector<FieldProblem> problems = FieldProblems(trial);
    if (problems.empty()) break;
    auto lineOf = [&](const std::string* field) {
      for (int i = 0; i < kConfigLines; ++i) {
        Control c = ControlIn(trial, kSettingLines[i].field);
        if (auto* text = std::get_if<std::string*>(&c); text && *text == field) return i;
      }
      return -1;
    };
    int line = lineOf(problems.front().field);
    if (line >= 0 && used[line] == defaults[line] && problems.front().other)
      line = lineOf(problems.front().other);
    if (line < 0) break;
    why[line] = problems.front().message;
    used[line] = defaults[line];
  }

  for (int i = 0; i < std::min(n, kConfigLines); ++i) {
    if (why[i].empty()) continue;
    // A reason from the form's rules ends with its own period.
    std::string reason = why[i].back() == '.' ? why[i] : why[i] + ".";
    if (r.badLine == 0) r.badLine = i + 1, r.why = why[i];
    r.replaced.push_back(msg::kConfigLine + std::to_string(i + 1) + ": " + reason +
                         msg::kConfigUsedInstead + used[i] + ".");
  }
  if (n < kConfigLines) {
    if (r.badLine == 0) r.badLine = n + 1, r.why = msg::kConfigTooShort;
    r.replaced.push_back(n + 1 == kConfigLines
                             ? msg::kConfigLine + std::to_string(n + 1) + msg::kConfigMissing +
                                   msg::kConfigUsedInstead + msg::kConfigDefault + defaults[n] + "."
                             : msg::kConfigLines + std::to_string(n + 1) + msg::kConfigLinesTo +
                                   std::to_string(kConfigLines) + msg::kConfigMissingMany +
                                   msg::kConfigUsedInstead + msg::kConfigDefaults);
  }
  return used;
}

// Steps 3 to 7 of a load on the values of the file's lines: every value the
// machine cannot use is replaced by its default first, so everything else
// applies and the settings, the form and the derived values agree.
ConfigResult LoadValues(const std::vector<std::string>& fileValues, MachineState& ms,
                        SettingsForm& form, const std::string& feedDisplay) {
  ConfigResult r;
  const std::vector<std::string> values = UsableValues(fileValues, r);
  for (int i = 0; i < kConfigLines; ++i) StoreSetting(kSettingLines[i], ms, values[i]);
  for (int i = 0; i < kConfigLines; ++i) PutControl(kSettingLines[i], ms, form, values[i], true);
  DeriveSettingsFrom(ms, form, feedDisplay, DeriveInputs{});
  ms.ConfigLoading = false;
  r.applied = true;
  r.ok = r.replaced.empty();
  return r;
}

// ---- Writing ------------------------------------------------------------

std::FILE* OpenForWrite(const fs::path& p) {
#ifdef _WIN32
  return _wfopen(p.c_str(), L"wb");
#else
  return std::fopen(p.c_str(), "wb");
#endif
}

std::size_t WriteBytes(const void* data, std::size_t bytes, std::FILE* f) {
  return std::fwrite(data, 1, bytes, f);
}

int FlushBuffer(std::FILE* f) { return std::fflush(f); }

int SyncToDisk(std::FILE* f) {
#ifdef _WIN32
  return _commit(_fileno(f));
#else
  return fsync(fileno(f));
#endif
}

int CloseFile(std::FILE* f) { return std::fclose(f); }

void RenameFile(const fs::path& from, const fs::path& to, std::error_code& ec) {
  fs::rename(from, to, ec);
}

// Pushes the written bytes to the disk before the rename, so the rename can
// never publish a file whose contents a crash would lose.
bool FlushToDisk(std::FILE* f, const ConfigFileOps& ops) {
  return ops.flush(f) == 0 && ops.sync(f) == 0;
}

std::string ErrnoText(int err) { return std::generic_category().message(err); }

}  // namespace

const ConfigFileOps& SystemFileOps() {
  static const ConfigFileOps ops{OpenForWrite, WriteBytes, FlushBuffer,
                                 SyncToDisk,   CloseFile,  RenameFile};
  return ops;
}

std::string ConfigText(const MachineState& ms, const SettingsForm& form) {
  SettingsForm f = form;  // the accessors hand out non-const pointers
  std::string out;
  for (const SettingLine& field : kSettingLines) {
    Control c = ControlIn(f, field.field);
    switch (field.kind) {
      case SettingKind::kText:
      case SettingKind::kRate:
      case SettingKind::kNumber:
        out += WithoutLineBreaks(*std::get<std::string*>(c));
        break;
      case SettingKind::kCheck:
        out += FormatWhole(*std::get<int*>(c));
        break;
      case SettingKind::kHomeOption:
      case SettingKind::kUnitMm:
      case SettingKind::kUnitInch:
        out += *std::get<bool*>(c) ? "True" : "False";
        break;
      case SettingKind::kUnitValue:
        out += FormatWhole(RoundHalfEven(ms.*std::get<double M::*>(field.setting)));
        break;
    }
    out += "\r\n";
  }
  return out;
}

ConfigResult LoadConfiguration(const std::string& folder, MachineState& ms, SettingsForm& form,
                               const std::string& feedDisplay) {
  return LoadConfigurationFile((fs::path(folder) / kConfigName).string(), ms, form, feedDisplay);
}

ConfigResult LoadConfigurationFile(const std::string& file, MachineState& ms, SettingsForm& form,
                                   const std::string& feedDisplay) {
  ms.ConfigLoading = true;
  const fs::path path(file);
  std::error_code ec;
  if (!fs::exists(path, ec) && !ec) {
    ConfigResult r = Failed(ms, 0, path.filename().string() + " does not exist");
    r.missing = true;
    return r;
  }
  if (ec || !fs::is_regular_file(path, ec)) return Failed(ms, 0, msg::kConfigCannotOpen);
  std::ifstream in(path, std::ios::binary);
  std::string bytes;
  if (in) bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  if (!in && !in.eof()) return Failed(ms, 0, msg::kConfigCannotOpen);
  in.close();
  return LoadValues(SplitLines(bytes), ms, form, feedDisplay);
}

ConfigResult ApplyFormSettings(MachineState& ms, SettingsForm& form,
                               const std::string& feedDisplay) {
  ms.ConfigLoading = true;
  return LoadValues(SplitLines(ConfigText(ms, form)), ms, form, feedDisplay);
}

bool SaveConfiguration(const std::string& folder, const MachineState& ms, const SettingsForm& form,
                       std::string& why, bool* readOnly, const ConfigFileOps& ops) {
  if (readOnly) *readOnly = false;
  const fs::path dir = folder.empty() ? fs::path(".") : fs::path(folder);
  fs::path target = dir / kConfigName;
  std::error_code ec;
  // A brimo.cfg that is a symbolic link stays one: the file it points to is
  // replaced (its temporary file beside it, so the rename stays on one file
  // system).
  if (fs::is_symlink(fs::symlink_status(target, ec))) {
    fs::path resolved = fs::weakly_canonical(target, ec);
    if (ec) {
      why = msg::kConfigWriteFailed + dir.string() + " (" + ec.message() + ").";
      return false;
    }
    target = resolved;
  }
  const fs::path temp = target.parent_path() / (target.filename().string() + ".tmp");
  const std::string text = ConfigText(ms, form);

  // A file without write permission was made read-only on purpose: renaming
  // over it would replace it silently. The permission bits decide, so the
  // rule holds for every user.
  if (auto st = fs::status(target, ec); !ec && fs::is_regular_file(st)) {
    constexpr fs::perms kWrite =
        fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write;
    if ((st.permissions() & kWrite) == fs::perms::none) {
      if (readOnly) *readOnly = true;
      why = std::string(msg::kConfigReadOnly) + " (" + target.string() + ").";
      return false;
    }
  }

  // The old file stays whole until the new one is complete on disk.
  errno = 0;
  std::FILE* f = ops.open(temp);
  if (!f) {
    why = msg::kConfigWriteFailed + temp.parent_path().string() + " (" + ErrnoText(errno) + ").";
    return false;
  }
  bool written = ops.write(text.data(), text.size(), f) == text.size();
  int err = written ? 0 : errno;
  if (written && !FlushToDisk(f, ops)) written = false, err = errno;
  if (ops.close(f) != 0 && written) written = false, err = errno;
  if (!written) {
    fs::remove(temp, ec);
    why = msg::kConfigWriteFailed + temp.parent_path().string() + " (" + ErrnoText(err) + ").";
    return false;
  }
  // Keep the operator's file permissions on the replacement.
  if (auto st = fs::status(target, ec); !ec && fs::exists(st))
    fs::permissions(temp, st.permissions(), ec);
  ops.rename(temp, target, ec);
  if (ec) {
    std::error_code ignored;
    fs::remove(temp, ignored);
    why = msg::kConfigWriteFailed + temp.parent_path().string() + " (" + ec.message() + ").";
    return false;
  }
  return true;
}

bool SaveConfiguration(const std::string& folder, MachineState& ms, const SettingsForm& form,
                       Window& win, const ConfigFileOps& ops) {
  std::string why;
  bool readOnly = false;
  if (SaveConfiguration(folder, ms, form, why, &readOnly, ops)) return true;
  if (readOnly && ms.ConfigReadOnlyTold) return false;
  if (readOnly) ms.ConfigReadOnlyTold = true;
  win.Message(msg::kConfigNotSaved + why, msg::kConfigTitle);
  return false;
}

std::string ConfigProblem(const ConfigResult& r) {
  if (r.replaced.empty()) {
    if (r.badLine == 0) return r.why + ".";
    return msg::kConfigLine + std::to_string(r.badLine) + msg::kConfigLineUnread + r.why + ".";
  }
  std::string out;
  for (const std::string& line : r.replaced) out += (out.empty() ? "" : "\n") + line;
  return out;
}

namespace {

// Keeps the damaged file's bytes under the first free name of
// brimo.cfg.bad, brimo.cfg.bad.2 ... brimo.cfg.bad.5. An existing copy is
// never overwritten (the file is created exclusively) and an empty file is
// not kept (`kept` stays empty). False with `why` when no copy could be made.
bool KeepDamagedFile(const fs::path& dir, std::string& kept, std::string& why) {
  kept.clear();
  std::ifstream in(dir / kConfigName, std::ios::binary);
  std::string bytes;
  if (in) bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  if (!in && !in.eof()) {
    why = msg::kConfigCannotOpen;
    return false;
  }
  if (bytes.empty()) return true;
  for (int slot = 1; slot <= 5; ++slot) {
    const std::string name =
        std::string(kConfigBadName) + (slot == 1 ? "" : "." + std::to_string(slot));
    const fs::path p = dir / name;
    std::error_code ec;
    if (fs::exists(fs::symlink_status(p, ec))) continue;
#ifdef _WIN32
    std::FILE* f = _wfopen(p.c_str(), L"wbx");
#else
    std::FILE* f = std::fopen(p.c_str(), "wbx");
#endif
    if (!f) {
      if (errno == EEXIST) continue;
      why = ErrnoText(errno);
      return false;
    }
    bool written = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    int err = written ? 0 : errno;
    if (written && !FlushToDisk(f, SystemFileOps())) written = false, err = errno;
    if (std::fclose(f) != 0 && written) written = false, err = errno;
    if (!written) {
      fs::remove(p, ec);  // never leave a partial or empty copy
      why = ErrnoText(err);
      return false;
    }
    kept = name;
    return true;
  }
  why = msg::kConfigBadSlotsFull;
  return false;
}

}  // namespace

ConfigResult StartupConfiguration(const std::string& folder, MachineState& ms, SettingsForm& form,
                                  const std::string& feedDisplay, Window& win) {
  // The defaults first: a missing or unreadable file must never leave the
  // machine with zero step sizes or rates (a move would divide by them).
  ApplyFormSettings(ms, form, feedDisplay);
  ConfigResult r = LoadConfiguration(folder, ms, form, feedDisplay);
  if (!r.ok && !r.missing) {
    // Defaults stand in for lines the operator wrote: a lead, a pin or a
    // reverse flag can now scale or turn an axis otherwise. Nothing goes to
    // the port until the operator has seen the settings and pressed "Ok".
    ms.Offline = true;
    ms.SettingsNeedConfirm = true;
    win.ShowOffline(true);
    // The save below rewrites brimo.cfg from the form; keep what the
    // operator had first, so no value is lost.
    const fs::path dir = folder.empty() ? fs::path(".") : fs::path(folder);
    std::string kept, why;
    std::string text = msg::kConfigDamaged + ConfigProblem(r) + "\n\n";
    if (!r.applied || !KeepDamagedFile(dir, kept, why)) {
      if (why.empty()) why = r.why;
      win.Message(text + msg::kConfigNotKept + why + "." + msg::kConfigOfflineUntilOk,
                  msg::kConfigTitle);
      return r;
    }
    // One message: the rewrite's outcome belongs to it.
    bool readOnly = false;
    if (SaveConfiguration(folder, ms, form, why, &readOnly)) {
      text += kept.empty() ? std::string(msg::kConfigEmptyNotKept)
                           : msg::kConfigKeptAs + kept + msg::kConfigKeptAsEnd;
    } else {
      if (readOnly) ms.ConfigReadOnlyTold = true;
      if (!kept.empty()) text += msg::kConfigKeptAs + kept + ".\n";
      text += msg::kConfigNotSaved + why;
    }
    win.Message(text + msg::kConfigOfflineUntilOk, msg::kConfigTitle);
    return r;
  }
  SaveConfiguration(folder, ms, form, win);
  return r;
}

}  // namespace brimo
