// Fuzz target settings_dialog: the settings dialog's model (SettingsForm)
// opened, fed fuzzer-chosen edits of its fields, unit switches, "Ok" and
// "Cancel", then closed. Whenever the dialog is closed, what the machine
// uses must equal what the dialog shows: the settings in force equal those
// derived afresh from the form, the unit in force is the unit option shown,
// and brimo.cfg, read as the next start reads it, gives the same settings
// and the same form.
//
// Input: a list of operations, one opcode byte each with its operands.
#include <cstdint>
#include <string>

#include "core/forms/settings_apply.h"
#include "fuzz/fuzz_rig.h"

using namespace brimo;
using namespace brimo::fuzz;

namespace {

// The dialog's text fields in the order an edit picks them.
std::vector<std::string*> TextFields(SettingsForm& f) {
  std::vector<std::string*> v;
  for (std::string* s : {&f.StepsPerRevX,
                         &f.StepsPerRevY,
                         &f.StepsPerRevZ,
                         &f.StepPinX,
                         &f.DirPinX,
                         &f.StepPinY,
                         &f.DirPinY,
                         &f.StepPinZ,
                         &f.DirPinZ,
                         &f.ToolChangeX,
                         &f.ToolChangeY,
                         &f.ToolChangeZ,
                         &f.FastRateX,
                         &f.MediumRateX,
                         &f.SlowRateX,
                         &f.FastRateY,
                         &f.MediumRateY,
                         &f.SlowRateY,
                         &f.FastRateZ,
                         &f.MediumRateZ,
                         &f.SlowRateZ,
                         &f.HomePinX,
                         &f.HomePinY,
                         &f.HomePinZ,
                         &f.LimitPin,
                         &f.LeadX,
                         &f.LeadY,
                         &f.LeadZ,
                         &f.PulseWidth,
                         &f.ZHomingMoveMode,
                         &f.ZToLineMoveMode,
                         &f.CoordinateMode,
                         &f.ZHomingMoveDistance,
                         &f.ZToLineMoveDistance})
    v.push_back(s);
  return v;
}

// Texts an operator types, besides raw bytes.
const char* const kTexts[] = {"0",    "1",   "2",   "9",   "10",       "400",      "3.00",
                              "0.5",  "-1",  "abc", "",    "1e300",    "1e-300",   "25.4",
                              "12.7", "100", "500", " 7 ", "Relative", "Absolute", "Rel.",
                              "Abs.", "3,5", "inf", "nan", "0.0001",   "99999999", "2.54"};

void CheckClosed(FuzzRig& r, const std::string& folder, bool saved) {
  FuzzRig fresh;
  SettingsForm copy = r.form;
  ApplyFormSettings(fresh.ms, copy, "0");
  BRIMO_FUZZ_CHECK(SameSettings(r.ms, fresh.ms));
  BRIMO_FUZZ_CHECK(r.ms.UnitsInch == r.form.UnitsInch && r.ms.UnitsMm == r.form.UnitsMm);
  if (!saved) return;
  // brimo.cfg as the next start reads it (blanks around values dropped).
  FuzzRig next;
  BRIMO_FUZZ_CHECK(LoadConfiguration(folder, next.ms, next.form, "0").ok);
  BRIMO_FUZZ_CHECK(SameSettings(r.ms, next.ms));
  BRIMO_FUZZ_CHECK(ConfigText(next.ms, next.form) == ConfigText(r.ms, r.form));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 2048) return 0;
  const std::string folder = ScratchFolder();
  std::remove((folder + "/" + kConfigName).c_str());
  Bytes in(data, size);
  FuzzRig r;
  bool open = false, saved = false;
  SettingsForm shown;  // the fields as the dialog opened
  for (int op = 0; op < 64 && in.Left() > 0; ++op) {
    if (!open) {
      shown = r.form;
      open = true;
    }
    const uint8_t code = in.Byte();
    switch (code % 8) {
      case 0:
      case 1: {  // an edit from the typed texts
        auto fields = TextFields(r.form);
        *fields[in.Byte() % fields.size()] = kTexts[in.Byte() % std::size(kTexts)];
        break;
      }
      case 2: {  // an edit of raw bytes
        auto fields = TextFields(r.form);
        std::string* f = fields[in.Byte() % fields.size()];
        *f = in.Text(in.Byte() % 16);
        break;
      }
      case 3: {  // a check box or a reverse box
        const uint8_t which = in.Byte() % 5;
        int* boxes[] = {&r.form.ReverseX, &r.form.ReverseY, &r.form.ReverseZ,
                        &r.form.HomeSwitchEnabled, &r.form.LimitSwitchEnabled};
        *boxes[which] = *boxes[which] ? 0 : 1;
        break;
      }
      case 4: {  // unit options
        const SettingsForm before = r.form;
        const bool inch = in.Byte() & 1;
        const bool ok = inch ? r.form.SelectInches(false) : r.form.SelectMillimetres(false);
        if (!ok) {
          BRIMO_FUZZ_CHECK(ConfigText(r.ms, r.form) == ConfigText(r.ms, before));
        }
        break;
      }
      case 5:
      case 6: {  // "Ok": the dialog closes only when it went through
        std::string message;
        if (ApplySettingsOk(r.core, r.form, folder, message)) {
          open = false;
          saved = true;
          CheckClosed(r, folder, saved);
        } else {
          BRIMO_FUZZ_CHECK(!message.empty());
        }
        break;
      }
      case 7:  // "Cancel"
        r.form.RestoreDialogFields(shown);
        open = false;
        CheckClosed(r, folder, saved);
        break;
    }
  }
  if (open) {
    r.form.RestoreDialogFields(shown);
    CheckClosed(r, folder, saved);
  }
  return 0;
}
