#include "core/forms/scale_factors.h"

#include <cmath>

#include "core/interpreter/draw_program.h"
#include "core/interpreter/parser.h"
#include "core/machine/core.h"
#include "core/machine/messages.h"
#include "core/machine/settings_form.h"
#include "core/plot/plot_state.h"
#include "core/plot/toolpath.h"

namespace brimo {
namespace {

constexpr double kMmPerInch = 25.4;
const char* const kFactorNames[4] = {"Scale Factor Feedrate", "Scale Factor X-Axis",
                                     "Scale Factor Y-Axis", "Scale Factor Z-Axis"};

bool FactorNumber(const std::string& text, double& v) {
  return ReadFieldNumber(text, v) && std::isfinite(v);
}

}  // namespace

double ScaleFactors::Factor(int i) {
  double v = 0;
  if (FactorNumber(factorTexts[i], v)) lastValid_[i] = v;
  return lastValid_[i];
}

void ScaleFactors::TakeCopy() {
  for (int i = 0; i < 4; ++i) saved[i] = factorTexts[i];
}

void ScaleFactors::SetAllToOne() {
  const std::string one(1, '1');  // not `f = "1"`: g++ 12 warns falsely there
  for (auto& f : factorTexts) f = one;
}

void ScaleFactors::InchesToMm() {
  // Number text of up to 15 significant digits, read back to the same value.
  for (auto& f : factorTexts) f = NumberText(kMmPerInch);
}

void ScaleFactors::MmToInches() {
  for (auto& f : factorTexts) f = NumberText(1 / kMmPerInch);
}

void ScaleFactors::RestoreCopy() {
  for (int i = 0; i < 4; ++i) factorTexts[i] = saved[i];
}

bool ScaleFactors::Validate(std::string& message) {
  for (int i = 0; i < 4; ++i) {
    double v = 0;
    if (!FactorNumber(factorTexts[i], v)) {
      message = std::string("\"") + kFactorNames[i] + "\"" + msg::kScaleNotANumber + "\"" +
                factorTexts[i] + "\".";
      return false;
    }
  }
  return true;
}

bool ScaleOk(Core& c) {
  if (c.ms.Running) {
    c.win.Beep();
    return false;
  }
  ResetProgramPosition(c);
  c.plot.RefitExtents = true;
  DrawProgram(c);
  c.plot.RefitExtents = false;
  c.ms.PreviewLine = 0;
  c.ms.PreviewRegs.reset();
  ShowPositions(c);
  return true;
}

}  // namespace brimo
