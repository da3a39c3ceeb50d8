#include "core/machine/settings_form.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "core/machine/machine_state.h"
#include "core/machine/messages.h"

namespace brimo {

namespace {

constexpr double kMmPerInch = 25.4;

bool IsBlank(char ch) { return ch == ' ' || ch == '\t'; }
bool IsDigit(char ch) { return ch >= '0' && ch <= '9'; }

std::string_view Trim(std::string_view t) {
  while (!t.empty() && IsBlank(t.front())) t.remove_prefix(1);
  while (!t.empty() && IsBlank(t.back())) t.remove_suffix(1);
  return t;
}

// One length or rate field the unit options convert, with the fewest
// decimals it shows after converting to inches and to millimetres.
struct ConvertedField {
  std::string SettingsForm::*field;
  const char* name;
  int inchDecimals;
  int mmDecimals;
};

// Significant digits a converted field keeps. One more in inches than in
// millimetres: a millimetre value of up to six digits then comes back
// exactly after a round trip through inches (10 -> 0.3937008 -> 10.000),
// since the error of the inch value times 25.4 stays below half a unit of
// the sixth digit.
constexpr int kInchDigits = 7;
constexpr int kMmDigits = 6;

// `value` with `digits` significant digits (at most 15 decimals), trailing
// zeros dropped down to `minDecimals`.
std::string FormatSignificant(double value, int digits, int minDecimals) {
  int decimals = minDecimals;
  if (value != 0) {
    const int magnitude = static_cast<int>(std::floor(std::log10(std::fabs(value))));
    decimals = std::max(decimals, std::min(15, digits - 1 - magnitude));
  }
  std::string text = FormatFixed(value, decimals);
  const size_t point = text.find('.');
  if (point == std::string::npos) return text;
  size_t keep = text.size();
  while (keep > point + 1 + static_cast<size_t>(minDecimals) && text[keep - 1] == '0') --keep;
  if (keep == point + 1) --keep;  // no decimals left: no point either
  return text.substr(0, keep);
}

using F = SettingsForm;

// The conversion order of the dialog: leads, tool change position, the nine
// rates, the two Z distances. Fewest decimals: lead "0.000" / "0.00", tool
// change and rates "0.00" / "0", Z distances "0.000" both ways; more digits
// as kInchDigits / kMmDigits need.
const ConvertedField kConverted[] = {
    {&F::LeadX, msg::kFieldLead[0], 3, 2},
    {&F::LeadY, msg::kFieldLead[1], 3, 2},
    {&F::LeadZ, msg::kFieldLead[2], 3, 2},
    {&F::ToolChangeX, msg::kFieldToolChange[0], 2, 0},
    {&F::ToolChangeY, msg::kFieldToolChange[1], 2, 0},
    {&F::ToolChangeZ, msg::kFieldToolChange[2], 2, 0},
    {&F::FastRateX, msg::kFieldRate[0], 2, 0},
    {&F::MediumRateX, msg::kFieldRate[1], 2, 0},
    {&F::SlowRateX, msg::kFieldRate[2], 2, 0},
    {&F::FastRateY, msg::kFieldRate[3], 2, 0},
    {&F::MediumRateY, msg::kFieldRate[4], 2, 0},
    {&F::SlowRateY, msg::kFieldRate[5], 2, 0},
    {&F::FastRateZ, msg::kFieldRate[6], 2, 0},
    {&F::MediumRateZ, msg::kFieldRate[7], 2, 0},
    {&F::SlowRateZ, msg::kFieldRate[8], 2, 0},
    {&F::ZHomingMoveDistance, msg::kFieldZHoming, 3, 3},
    {&F::ZToLineMoveDistance, msg::kFieldZToLine, 3, 3},
};

std::string& FieldText(SettingsForm& f, const ConvertedField& c) { return f.*c.field; }

// Converts every length and rate field by `factor` (1/25.4 to inches, 25.4
// to millimetres), all or nothing: a field that is not a number leaves every
// field as it was.
bool ConvertFields(SettingsForm& f, bool toInch, std::string* badField) {
  constexpr int kCount = sizeof(kConverted) / sizeof(kConverted[0]);
  std::string converted[kCount];
  for (int i = 0; i < kCount; ++i) {
    const ConvertedField& c = kConverted[i];
    double v = 0;
    if (!ReadFieldNumber(FieldText(f, c), v)) {
      if (badField) *badField = c.name;
      return false;
    }
    v = toInch ? v / kMmPerInch : v * kMmPerInch;
    if (!std::isfinite(v)) {
      if (badField) *badField = c.name;
      return false;
    }
    converted[i] = toInch ? FormatSignificant(v, kInchDigits, c.inchDecimals)
                          : FormatSignificant(v, kMmDigits, c.mmDecimals);
  }
  for (int i = 0; i < kCount; ++i) FieldText(f, kConverted[i]) = converted[i];
  return true;
}

}  // namespace

void SettingsForm::RestoreDialogFields(const SettingsForm& shown) {
  // The home panel belongs to the main window, which stays usable while the
  // dialog is open: its choices are kept.
  const SettingsForm now = *this;
  *this = shown;
  HomeUsingHomeSwitch = now.HomeUsingHomeSwitch;
  HomeUsingProgramZero = now.HomeUsingProgramZero;
  HomeUsingMachineZero = now.HomeUsingMachineZero;
  HomeMoveKind = now.HomeMoveKind;
  HomeFeedrate = now.HomeFeedrate;
}

bool SettingsForm::SelectInches(bool configLoading, std::string* badField) {
  // While a configuration loads the fields already hold the file's values in
  // the file's unit: only the labels follow the option.
  if (!configLoading && !UnitsInch && !ConvertFields(*this, true, badField)) return false;
  LeadUnitLabel = "In/";
  ZHomingUnitLabel = "(In)";
  ZToLineUnitLabel = "(In)";
  UnitsInch = true;
  UnitsMm = false;
  return true;
}

bool SettingsForm::SelectMillimetres(bool configLoading, std::string* badField) {
  if (!configLoading && !UnitsMm && !ConvertFields(*this, false, badField)) return false;
  LeadUnitLabel = "mm/";
  ZHomingUnitLabel = "(mm)";
  ZToLineUnitLabel = "(mm)";
  UnitsMm = true;
  UnitsInch = false;
  return true;
}

std::vector<FieldProblem> FieldProblems(const SettingsForm& form) {
  std::vector<FieldProblem> problems;
  auto positive = [&](const std::string& text, const char* name) {
    double v = 0;
    if (ReadFieldNumber(text, v) && v > 0) return;
    problems.push_back(
        {&text, nullptr, std::string(name) + msg::kSettingsNotPositive + "\"" + text + "\"."});
  };
  for (int a = 0; a < 3; ++a) positive(form.*kAxisFields[a].lead, msg::kFieldLead[a]);
  for (int a = 0; a < 3; ++a) positive(form.*kAxisFields[a].stepsPerRev, msg::kFieldSteps[a]);
  // The six step and direction lines: X step, X dir, Y step, Y dir, Z step,
  // Z dir. Two lines on one driven pin would pulse each other's drive. Pins
  // outside 2..9 drive nothing, so any number of lines may be left there.
  const std::string* lines[6];
  for (int a = 0; a < 3; ++a) {
    lines[2 * a] = &(form.*kAxisFields[a].stepPin);
    lines[2 * a + 1] = &(form.*kAxisFields[a].dirPin);
  }
  for (int a = 0; a < 6; ++a) {
    int mask = PinMask(*lines[a]);
    if (mask == 0) continue;
    for (int b = a + 1; b < 6; ++b) {
      if (PinMask(*lines[b]) != mask) continue;
      int pin = 2;
      while ((1 << (pin - 2)) != mask) ++pin;
      problems.push_back({lines[b], lines[a],
                          std::string(msg::kFieldLine[a]) + " and " + msg::kFieldLine[b] +
                              msg::kSettingsSharedPin + std::to_string(pin) +
                              msg::kSettingsOwnPin});
    }
  }
  for (int a = 0; a < 3; ++a)
    for (int s = 0; s < 3; ++s) positive(form.*kAxisFields[a].rates[s], msg::kFieldRate[3 * a + s]);
  if (Trim(form.PortDevice).empty())
    problems.push_back(
        {&form.PortDevice, nullptr, std::string(msg::kFieldPortDevice) + msg::kPortDeviceEmpty});
  if (unsigned base = 0; !ReadPortBase(form.PortBase, base))
    problems.push_back({&form.PortBase, nullptr,
                        std::string(msg::kFieldPortBase) + msg::kPortBaseNotAddress + "\"" +
                            form.PortBase + "\"."});
  return problems;
}

bool ValidateForOk(const SettingsForm& form, std::string& message) {
  // The fields as the save will write them: a save leaves out CR and LF, so
  // "2<LF>" (no pin here) is pin 2 in brimo.cfg and must be checked as such.
  SettingsForm saved = form;
  auto dropBreaks = [](std::string& text) {
    std::erase_if(text, [](char ch) { return ch == '\r' || ch == '\n'; });
  };
  for (const AxisFields& axis : kAxisFields) {
    for (std::string SettingsForm::*field : {axis.lead, axis.stepsPerRev, axis.stepPin, axis.dirPin,
                                             axis.rates[0], axis.rates[1], axis.rates[2]})
      dropBreaks(saved.*field);
  }
  dropBreaks(saved.PortDevice);
  dropBreaks(saved.PortBase);
  const std::vector<FieldProblem> problems = FieldProblems(saved);
  if (problems.empty()) return true;
  message = problems.front().message + msg::kSettingsNotSaved;
  return false;
}

bool ReadPortBase(std::string_view text, unsigned& base) {
  std::string_view t = Trim(text);
  if (t.size() > 2 && t[0] == '0' && (t[1] == 'x' || t[1] == 'X')) t.remove_prefix(2);
  unsigned v = 0;
  auto [ptr, ec] = std::from_chars(t.data(), t.data() + t.size(), v, 16);
  if (t.empty() || ec != std::errc() || ptr != t.data() + t.size()) return false;
  if (v < kPortBaseMin || v > kPortBaseMax) return false;
  base = v;
  return true;
}

std::string FormatPortBase(unsigned base) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%X", base);
  return text;
}

bool ReadFieldNumber(std::string_view text, double& value) {
  std::string_view t = Trim(text);
  if (!t.empty() && t.front() == '+') t.remove_prefix(1);
  // from_chars takes a leading '-' itself; refuse "inf", "nan" and hex forms
  // by asking for a digit or a period right after the sign.
  size_t i = (!t.empty() && t.front() == '-') ? 1 : 0;
  if (i >= t.size() || !(IsDigit(t[i]) || t[i] == '.')) return false;
  double v = 0;
  auto [ptr, ec] = std::from_chars(t.data(), t.data() + t.size(), v);
  if (ec != std::errc() || ptr != t.data() + t.size() || !std::isfinite(v)) return false;
  value = v;
  return true;
}

double LeadingNumber(std::string_view text) {
  size_t i = 0;
  while (i < text.size() && IsBlank(text[i])) ++i;
  std::string num;
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) {
    if (text[i] == '-') num += '-';
    ++i;
  }
  bool digits = false;
  while (i < text.size() && IsDigit(text[i])) num += text[i++], digits = true;
  if (i < text.size() && text[i] == '.') {
    num += text[i++];
    while (i < text.size() && IsDigit(text[i])) num += text[i++], digits = true;
  }
  if (!digits) return 0;
  if (i < text.size() && (text[i] == 'E' || text[i] == 'e' || text[i] == 'D' || text[i] == 'd')) {
    size_t j = i + 1;
    std::string exp = "e";
    if (j < text.size() && (text[j] == '-' || text[j] == '+')) exp += text[j++];
    size_t first = j;
    while (j < text.size() && IsDigit(text[j])) exp += text[j++];
    if (j > first) num += exp;
  }
  double v = 0;
  auto [ptr, ec] = std::from_chars(num.data(), num.data() + num.size(), v);
  if (ec != std::errc() || !std::isfinite(v)) return 0;
  return v;
}

std::string FormatFixed(double value, int decimals) {
  if (!std::isfinite(value)) return "0";
  bool negative = value < 0;
  // 15 significant digits: the decimal form an operator would read, so that
  // halves that are halves in decimal (2.675) round up as they appear.
  char buf[40];
  auto res =
      std::to_chars(buf, buf + sizeof(buf), std::fabs(value), std::chars_format::scientific, 14);
  std::string sci(buf, res.ptr);  // d.dddddddddddddde[+-]xx
  size_t ePos = sci.find('e');
  std::string digits = sci.substr(0, 1) + sci.substr(2, ePos - 2);
  int exp10 = std::atoi(sci.c_str() + ePos + 1);

  // Whole digits and fraction digits of the decimal form.
  std::string whole, frac;
  if (exp10 >= 0) {
    size_t n = static_cast<size_t>(exp10) + 1;
    if (digits.size() < n) digits.append(n - digits.size(), '0');
    whole = digits.substr(0, n);
    frac = digits.substr(n);
  } else {
    whole = "0";
    frac = std::string(static_cast<size_t>(-exp10 - 1), '0') + digits;
  }
  if (frac.size() < static_cast<size_t>(decimals) + 1) frac.append(decimals + 1 - frac.size(), '0');
  bool roundUp = frac[decimals] >= '5';  // half away from zero
  std::string kept = whole + frac.substr(0, decimals);
  if (roundUp) {
    int k = static_cast<int>(kept.size()) - 1;
    while (k >= 0 && kept[k] == '9') kept[k--] = '0';
    if (k >= 0)
      ++kept[k];
    else
      kept.insert(kept.begin(), '1');
  }
  size_t wholeLen = kept.size() - decimals;
  std::string w = kept.substr(0, wholeLen);
  size_t nz = w.find_first_not_of('0');
  w = nz == std::string::npos ? "0" : w.substr(nz);
  std::string out = w;
  if (decimals > 0) out += "." + kept.substr(wholeLen);
  if (negative && out.find_first_of("123456789") != std::string::npos) out.insert(0, "-");
  return out;
}

}  // namespace brimo
