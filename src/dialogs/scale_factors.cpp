#include "dialogs/scale_factors.h"

#include <cmath>

#include "interpreter/draw_program.h"
#include "interpreter/parser.h"
#include "machine/core.h"
#include "machine/messages.h"
#include "machine/settings_form.h"
#include "plot/plot_state.h"
#include "plot/toolpath.h"

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
  if (FactorNumber(Combo1[i], v)) lastValid_[i] = v;
  return lastValid_[i];
}

void ScaleFactors::Form_Activate() {
  for (int i = 0; i < 4; ++i) saved[i] = Combo1[i];
}

void ScaleFactors::Command1_Click() {
  const std::string one(1, '1');  // not `f = "1"`: g++ 12 warns falsely there
  for (auto& f : Combo1) f = one;
}

void ScaleFactors::Command4_Click() {
  // Number text of up to 15 significant digits, read back to the same value.
  for (auto& f : Combo1) f = NumberText(kMmPerInch);
}

void ScaleFactors::Command5_Click() {
  for (auto& f : Combo1) f = NumberText(1 / kMmPerInch);
}

void ScaleFactors::Command3_Click() {
  for (int i = 0; i < 4; ++i) Combo1[i] = saved[i];
}

bool ScaleFactors::Validate(std::string& message) {
  for (int i = 0; i < 4; ++i) {
    double v = 0;
    if (!FactorNumber(Combo1[i], v)) {
      message = std::string("\"") + kFactorNames[i] + "\"" + msg::kScaleNotANumber + "\"" +
                Combo1[i] + "\".";
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
  TegnUd(c);
  c.plot.RefitExtents = false;
  c.ms.PreviewLine = 0;
  c.ms.PreviewRegs.reset();
  ShowPositions(c);
  return true;
}

}  // namespace brimo
