// DeriveSettings: the values computed from the settings at every
// configuration load (travel per step, finest XY step, starting feed, unit
// value, port masks, direction senses, pulse width).

#include "core/machine/config_file.h"
#include "core/machine/machine_state.h"
#include "core/machine/settings_form.h"
#include "core/machine/settings_table.h"

namespace brimo {

int DeriveSettingsFrom(MachineState& ms, const SettingsForm& form, const std::string& feedDisplay,
                       const DeriveInputs& in) {
  // A width that is not a number of 0 or more cannot time a pulse: the
  // default stands in (the rate check then names the width in use).
  double width = 0;
  ms.PulseWidthUs =
      ReadFieldNumber(ms.PulseWidth, width) && width >= 0 ? width : kDefaultPulseWidthUs;

  // Travel of one step, length units. The lead is read before the steps, as
  // the division does; a steps-per-turn of 0 stops here so no axis ever gets
  // an infinite step.
  using M = MachineState;
  constexpr double M::*kLead[3] = {&M::LeadX, &M::LeadY, &M::LeadZ};
  constexpr double M::*kStepsPerRev[3] = {&M::StepsPerRevX, &M::StepsPerRevY, &M::StepsPerRevZ};
  const double leads[3] = {ms.LeadX, ms.LeadY, ms.LeadZ};
  const double steps[3] = {ms.StepsPerRevX, ms.StepsPerRevY, ms.StepsPerRevZ};
  double* const perStep[3] = {&ms.UnitsPerStepX, &ms.UnitsPerStepY, &ms.UnitsPerStepZ};
  for (int a = 0; a < 3; ++a) {
    if (!in.leadOk[a]) return ConfigLineOf(kLead[a]);
    if (!in.stepsOk[a] || steps[a] == 0) return ConfigLineOf(kStepsPerRev[a]);
    *perStep[a] = leads[a] / steps[a];
  }

  // The finer of the X and Y steps (X on a tie); Z never takes part.
  if (ms.UnitsPerStepY < ms.UnitsPerStepX) {
    ms.FinestStepXY = ms.UnitsPerStepY;
    ms.FinestAxis = 2;
  } else {
    ms.FinestStepXY = ms.UnitsPerStepX;
    ms.FinestAxis = 1;
  }

  // The feed display's number becomes the feed in force, so that what is
  // shown and what is used agree after a load.
  ms.FeedNow = LeadingNumber(feedDisplay);

  // Inch test first, then the mm test, each on the option buttons as they
  // stand now (neither selected leaves UnitValue as it was).
  if (form.UnitsInch) {
    if (!in.inchValueOk) return ConfigLineOf(&MachineState::InchUnitValue);
    ms.UnitValue = ms.InchUnitValue;
  }
  if (form.UnitsMm) {
    if (!in.mmValueOk) return ConfigLineOf(&MachineState::MmUnitValue);
    ms.UnitValue = ms.MmUnitValue;
  }

  ms.StepMaskX = PinMask(ms.StepPinX);
  ms.DirMaskX = PinMask(ms.DirPinX);
  ms.StepMaskY = PinMask(ms.StepPinY);
  ms.DirMaskY = PinMask(ms.DirPinY);
  ms.StepMaskZ = PinMask(ms.StepPinZ);
  ms.DirMaskZ = PinMask(ms.DirPinZ);

  // The step sign for which the direction line is driven high.
  ms.DirSenseX = ms.ReverseX == 0 ? -1 : 1;
  ms.DirSenseY = ms.ReverseY == 0 ? -1 : 1;
  ms.DirSenseZ = ms.ReverseZ == 0 ? -1 : 1;
  return 0;
}

void DeriveSettings(MachineState& ms, const SettingsForm& form, const std::string& feedDisplay) {
  DeriveSettingsFrom(ms, form, feedDisplay, DeriveInputs{});
}

}  // namespace brimo
