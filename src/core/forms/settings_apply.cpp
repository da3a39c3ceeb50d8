#include "core/forms/settings_apply.h"

#include "core/interpreter/parser.h"
#include "core/machine/config_file.h"
#include "core/machine/core.h"
#include "core/machine/messages.h"
#include "core/machine/settings_form.h"
#include "core/plot/toolpath.h"
#include "core/program/program_store.h"

namespace brimo {
namespace {

constexpr double kMmPerInch = 25.4;

// Every length that describes where the machine is, so the numbers keep
// describing the same physical place in the new unit.
void ConvertPositions(MachineState& ms, double f) {
  double* lengths[] = {&ms.PrgX,         &ms.PrgY,         &ms.PrgZ,       &ms.MachX,
                       &ms.MachY,        &ms.MachZ,        &ms.TargetX,    &ms.TargetY,
                       &ms.TargetZ,      &ms.LineStartX,   &ms.LineStartY, &ms.LineStartZ,
                       &ms.Stop.PrgX,    &ms.Stop.PrgY,    &ms.Stop.PrgZ,  &ms.Stop.TargetX,
                       &ms.Stop.TargetY, &ms.Stop.TargetZ, &ms.Halt.PrgX,  &ms.Halt.PrgY,
                       &ms.Halt.PrgZ};
  for (double* v : lengths) *v *= f;
}

bool MidProgram(const Core& c) {
  // Stopped, halted, paused, before a bad line or at a previewed line.
  return c.ms.Run != RunState::kIdle && c.ms.Run != RunState::kFinished;
}

}  // namespace

bool ApplySettingsOk(Core& c, SettingsForm& form, const std::string& folder, std::string& message) {
  MachineState& ms = c.ms;
  if (ms.Running) {
    message = msg::kSettingsWhileRunning;
    return false;
  }
  if (!ValidateForOk(form, message)) return false;
  const bool toInch = form.UnitsInch && !ms.UnitsInch;
  const bool toMm = form.UnitsMm && !ms.UnitsMm;
  if ((toInch || toMm) && MidProgram(c)) {
    message = msg::kUnitsMidProgram;
    return false;
  }
  std::string why;
  if (!SaveConfiguration(folder, ms, form, why)) {
    message = std::string(msg::kConfigNotSaved) + why;
    return false;
  }
  const bool wasInch = ms.UnitsInch;
  const std::string wasDevice = ms.PortDevice;
  const unsigned wasBase = ms.PortBase;
  const ConfigResult r = LoadConfiguration(folder, ms, form, NumberText(ms.FeedNow));
  // Another port named: the open one is let go, so the next online pulse
  // opens the new one (nothing moves here: see the check above). Its data
  // register's level is not known yet.
  if (ms.PortDevice != wasDevice || ms.PortBase != wasBase) {
    c.port.Release();
    ms.Schedule.onPort = -1;
  }
  // The positions follow the unit the load put in force, also when the load
  // stopped after the unit lines, so position and unit never disagree.
  if (ms.UnitsInch != wasInch) ConvertPositions(ms, ms.UnitsInch ? 1 / kMmPerInch : kMmPerInch);
  ShowPositions(c);
  if (!r.ok) {
    message = std::string(msg::kConfigDamaged) + ConfigProblem(r);
    return false;
  }
  // The operator has seen and confirmed the settings: the "Offline" box may
  // be unticked again after a damaged brimo.cfg.
  ms.SettingsNeedConfirm = false;
  return true;
}

}  // namespace brimo
