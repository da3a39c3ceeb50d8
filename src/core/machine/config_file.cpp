// brimo.cfg: the reader and the writer both walk the one table of the
// lines (kSettingLines, settings_table.h), so they cannot drift apart.
//
// Line kinds and how they are written (each followed by CR LF):
//   text               the control's text exactly ("400", "3.00", "Relative")
//   check value        " 0 " / " 1 " (a blank where a minus sign would stand,
//                      one after; a negative whole number is "-3 ")
//   option value       "True" / "False"
//   unit value (34/36) the setting rounded to a whole number, as a check value
//   port address (50)  "0x" and upper-case hexadecimal digits ("0x378")
//   after 50           each line as read, for a newer build
//
// This file reads, checks and writes the text; config_save.cpp puts it on
// the disk.

#include "core/machine/config_file.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <iterator>
#include <system_error>
#include <type_traits>
#include <variant>
#include <vector>

#include "core/machine/machine_state.h"
#include "core/machine/messages.h"
#include "core/machine/settings_form.h"
#include "core/machine/settings_table.h"

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

// The lines of a file: the values of the lines this build knows (at most
// kConfigLines, blanks around each dropped) and every line after them as it
// stands. CR LF, LF or CR end a line. A comma is part of the value, so no
// value can shift the ones after it.
struct FileLines {
  std::vector<std::string> values;
  std::vector<std::string> after;
};

FileLines SplitLines(const std::string& bytes) {
  std::vector<std::string> raw;
  std::string cur;
  bool open = false;
  for (size_t i = 0; i < bytes.size(); ++i) {
    char ch = bytes[i];
    if (ch == '\r' || ch == '\n') {
      if (ch == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') ++i;
      raw.push_back(std::move(cur));
      cur.clear();
      open = false;
    } else {
      cur += ch;
      open = true;
    }
  }
  if (open) raw.push_back(std::move(cur));
  // Blank lines after the required ones with nothing after them hold no
  // setting (an editor's extra line end): the file is the older file it is.
  if (std::all_of(raw.begin() + std::min<size_t>(raw.size(), kConfigRequiredLines), raw.end(),
                  [](const std::string& l) { return Trimmed(l).empty(); }))
    raw.resize(std::min<size_t>(raw.size(), kConfigRequiredLines));
  FileLines lines;
  const size_t known = std::min<size_t>(raw.size(), kConfigLines);
  for (size_t i = 0; i < known; ++i) lines.values.push_back(Trimmed(raw[i]));
  lines.after.assign(raw.begin() + known, raw.end());
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
    case SettingKind::kPortBase:
      return ReadPortBase(v, ms.*std::get<unsigned M::*>(f.setting));
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
    case SettingKind::kPortBase: {
      unsigned base = 0;
      *std::get<std::string*>(c) = ReadPortBase(v, base) ? FormatPortBase(base) : v;
      return "";
    }
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

// The default values of the kConfigLines lines: the file a save writes from
// a fresh form, with its lengths and rates in millimetres or, for a file in
// inches, converted to inches as the unit option converts them (a default
// lead of 3.00 read as inches would scale the axis by 25.4).
const std::vector<std::string>& DefaultValues(bool inch) {
  static const std::vector<std::string> mm =
      SplitLines(ConfigText(MachineState{}, SettingsForm{})).values;
  static const std::vector<std::string> inches = [] {
    SettingsForm form;
    form.SelectInches(false);
    return SplitLines(ConfigText(MachineState{}, form)).values;
  }();
  return inch ? inches : mm;
}

// Why a value cannot be read as what its line holds ("" when it can). Steps,
// leads, rates and the port are checked with the form (FieldProblems), as
// "Ok" does.
std::string Unreadable(const SettingLine& f, const std::string& v) {
  switch (f.kind) {
    case SettingKind::kText:
    case SettingKind::kRate:
    case SettingKind::kNumber:
    case SettingKind::kPortBase:
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
  // Only the required lines are missed: lines 49 and 50 take their defaults
  // silently in a file written before them.
  if (n < kConfigRequiredLines) {
    if (r.badLine == 0) r.badLine = n + 1, r.why = msg::kConfigTooShort;
    r.replaced.push_back(n + 1 == kConfigRequiredLines
                             ? msg::kConfigLine + std::to_string(n + 1) + msg::kConfigMissing +
                                   msg::kConfigUsedInstead + msg::kConfigDefault + defaults[n] + "."
                             : msg::kConfigLines + std::to_string(n + 1) + msg::kConfigLinesTo +
                                   std::to_string(kConfigRequiredLines) + msg::kConfigMissingMany +
                                   msg::kConfigUsedInstead + msg::kConfigDefaults);
  }
  return used;
}

// Steps 3 to 7 of a load on the values of the file's lines: every value the
// machine cannot use is replaced by its default first, so everything else
// applies and the settings, the form and the derived values agree.
ConfigResult LoadValues(const FileLines& file, MachineState& ms, SettingsForm& form,
                        const std::string& feedDisplay) {
  ConfigResult r;
  const std::vector<std::string> values = UsableValues(file.values, r);
  ms.ConfigLinesAfter = file.after;
  for (int i = 0; i < kConfigLines; ++i) StoreSetting(kSettingLines[i], ms, values[i]);
  for (int i = 0; i < kConfigLines; ++i) PutControl(kSettingLines[i], ms, form, values[i], true);
  DeriveSettingsFrom(ms, form, feedDisplay, DeriveInputs{});
  ms.ConfigLoading = false;
  r.applied = true;
  r.ok = r.replaced.empty();
  return r;
}

}  // namespace

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
      case SettingKind::kPortBase: {
        const std::string& text = *std::get<std::string*>(c);
        unsigned base = 0;
        out += ReadPortBase(text, base) ? FormatPortBase(base) : WithoutLineBreaks(text);
        break;
      }
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
  for (const std::string& line : ms.ConfigLinesAfter) out += line + "\r\n";
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

std::string ConfigProblem(const ConfigResult& r) {
  if (r.replaced.empty()) {
    if (r.badLine == 0) return r.why + ".";
    return msg::kConfigLine + std::to_string(r.badLine) + msg::kConfigLineUnread + r.why + ".";
  }
  std::string out;
  for (const std::string& line : r.replaced) out += (out.empty() ? "" : "\n") + line;
  return out;
}

}  // namespace brimo
