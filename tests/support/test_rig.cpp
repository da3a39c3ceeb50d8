#include "support/test_rig.h"

#include "core/program/program_store.h"

namespace brimo::test {

void TestRig::LoadDefaults() {
  ms.StepsPerRevX = ms.StepsPerRevY = ms.StepsPerRevZ = 400;
  ms.LeadX = ms.LeadY = ms.LeadZ = 3;
  ms.StepPinX = "3", ms.DirPinX = "2";
  ms.StepPinY = "5", ms.DirPinY = "4";
  ms.StepPinZ = "7", ms.DirPinZ = "6";
  ms.FastRateX = ms.FastRateY = ms.FastRateZ = 500;
  ms.MediumRateX = ms.MediumRateY = ms.MediumRateZ = 200;
  ms.SlowRateX = ms.SlowRateY = ms.SlowRateZ = 100;
  ms.UnitsMm = true;
  ms.UnitsInch = false;
  ms.UnitsPerStepX = ms.UnitsPerStepY = ms.UnitsPerStepZ = 3.0 / 400;
  ms.FinestStepXY = 3.0 / 400;
  ms.FinestAxis = 1;
  ms.StepMaskX = 2, ms.DirMaskX = 1;
  ms.StepMaskY = 8, ms.DirMaskY = 4;
  ms.StepMaskZ = 32, ms.DirMaskZ = 16;
  ms.DirSenseX = ms.DirSenseY = ms.DirSenseZ = -1;
  ms.DiagonalFactor = 1;
  ms.Stop.DrawWidth = 1;
  ms.ZHomingMoveMode = "Relative";
  ms.ZHomingMoveDistance = "10";
}

void TestRig::UniformAxes(double unitsPerStep, double fast) {
  ms.UnitsPerStepX = ms.UnitsPerStepY = ms.UnitsPerStepZ = unitsPerStep;
  ms.FinestStepXY = unitsPerStep;
  ms.FinestAxis = 1;
  ms.FastRateX = ms.FastRateY = ms.FastRateZ = fast;
}

void TestRig::LoadProgram(const std::string& text) {
  std::vector<std::string> entries;
  SplitProgramText(text, entries);
  store.Assign(entries);
}

}  // namespace brimo::test
