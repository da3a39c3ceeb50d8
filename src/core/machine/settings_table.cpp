#include "core/machine/settings_table.h"

namespace brimo {

namespace {
using M = MachineState;
using F = SettingsForm;
using K = SettingKind;
}  // namespace

constexpr SettingLine kSettingLines[kConfigLines] = {
    {K::kNumber, &M::StepsPerRevX, &F::StepsPerRevX, "Combo2_0"},                       // 1
    {K::kNumber, &M::StepsPerRevY, &F::StepsPerRevY, "Combo2_1"},                       // 2
    {K::kNumber, &M::StepsPerRevZ, &F::StepsPerRevZ, "Combo2_2"},                       // 3
    {K::kText, &M::StepPinX, &F::StepPinX, "Combo1_0"},                                 // 4
    {K::kText, &M::DirPinX, &F::DirPinX, "Combo1_1"},                                   // 5
    {K::kText, &M::StepPinY, &F::StepPinY, "Combo1_2"},                                 // 6
    {K::kText, &M::DirPinY, &F::DirPinY, "Combo1_3"},                                   // 7
    {K::kText, &M::StepPinZ, &F::StepPinZ, "Combo1_4"},                                 // 8
    {K::kText, &M::DirPinZ, &F::DirPinZ, "Combo1_5"},                                   // 9
    {K::kText, &M::ToolChangeX, &F::ToolChangeX, "Combo6_0"},                           // 10
    {K::kText, &M::ToolChangeY, &F::ToolChangeY, "Combo6_1"},                           // 11
    {K::kText, &M::ToolChangeZ, &F::ToolChangeZ, "Combo6_2"},                           // 12
    {K::kRate, &M::FastRateX, &F::FastRateX, "Combo3_0"},                               // 13
    {K::kRate, &M::MediumRateX, &F::MediumRateX, "Combo3_1"},                           // 14
    {K::kRate, &M::SlowRateX, &F::SlowRateX, "Combo3_2"},                               // 15
    {K::kRate, &M::FastRateY, &F::FastRateY, "Combo3_3"},                               // 16
    {K::kRate, &M::MediumRateY, &F::MediumRateY, "Combo3_4"},                           // 17
    {K::kRate, &M::SlowRateY, &F::SlowRateY, "Combo3_5"},                               // 18
    {K::kRate, &M::FastRateZ, &F::FastRateZ, "Combo3_6"},                               // 19
    {K::kRate, &M::MediumRateZ, &F::MediumRateZ, "Combo3_7"},                           // 20
    {K::kRate, &M::SlowRateZ, &F::SlowRateZ, "Combo3_8"},                               // 21
    {K::kText, &M::HomePinX, &F::HomePinX, "Combo8_0"},                                 // 22
    {K::kText, &M::HomePinY, &F::HomePinY, "Combo8_1"},                                 // 23
    {K::kText, &M::HomePinZ, &F::HomePinZ, "Combo8_2"},                                 // 24
    {K::kText, &M::LimitPin, &F::LimitPin, "Combo8_3"},                                 // 25
    {K::kNumber, &M::LeadX, &F::LeadX, "Combo7_0"},                                     // 26
    {K::kNumber, &M::LeadY, &F::LeadY, "Combo7_1"},                                     // 27
    {K::kNumber, &M::LeadZ, &F::LeadZ, "Combo7_2"},                                     // 28
    {K::kCheck, &M::ReverseX, &F::ReverseX, "XReverse"},                                // 29
    {K::kCheck, &M::ReverseY, &F::ReverseY, "YReverse"},                                // 30
    {K::kCheck, &M::ReverseZ, &F::ReverseZ, "ZReverse"},                                // 31
    {K::kUnitMm, &M::UnitsMm, &F::UnitsMm, "optionmm"},                                 // 32
    {K::kUnitInch, &M::UnitsInch, &F::UnitsInch, "OptionIn"},                           // 33
    {K::kUnitValue, &M::InchUnitValue, std::monostate{}, ""},                           // 34
    {K::kText, &M::PulseWidth, &F::PulseWidth, "Combo4"},                               // 35
    {K::kUnitValue, &M::MmUnitValue, std::monostate{}, ""},                             // 36
    {K::kCheck, &M::HomeSwitchEnabled, &F::HomeSwitchEnabled, "Check1_0"},              // 37
    {K::kCheck, &M::LimitSwitchEnabled, &F::LimitSwitchEnabled, "Check1_1"},            // 38
    {K::kText, &M::ZHomingMoveMode, &F::ZHomingMoveMode, "Combo5"},                     // 39
    {K::kText, &M::ZToLineMoveMode, &F::ZToLineMoveMode, "Combo10"},                    // 40
    {K::kText, &M::CoordinateMode, &F::CoordinateMode, "Combo9"},                       // 41
    {K::kText, &M::ZHomingMoveDistance, &F::ZHomingMoveDistance, "Text1"},              // 42
    {K::kText, &M::ZToLineMoveDistance, &F::ZToLineMoveDistance, "Text2"},              // 43
    {K::kHomeOption, &M::HomeUsingHomeSwitch, &F::HomeUsingHomeSwitch, "Option4_0"},    // 44
    {K::kHomeOption, &M::HomeUsingProgramZero, &F::HomeUsingProgramZero, "Option4_1"},  // 45
    {K::kHomeOption, &M::HomeUsingMachineZero, &F::HomeUsingMachineZero, "Option4_2"},  // 46
    {K::kText, &M::HomeMoveKind, &F::HomeMoveKind, "Combo1"},                           // 47
    {K::kText, &M::HomeFeedrate, &F::HomeFeedrate, "Text6"},                            // 48
    {K::kText, &M::PortDevice, &F::PortDevice, "PortDevice"},                           // 49
    {K::kPortBase, &M::PortBase, &F::PortBase, "PortBase"},                             // 50
};

constexpr UnitLabelLine kUnitLabels[3] = {
    {&F::LeadUnitLabel, "Label4"},
    {&F::ZHomingUnitLabel, "Label18"},
    {&F::ZToLineUnitLabel, "Label24"},
};

namespace {

template <typename Member>
const char* ControlNameIn(Member field) {
  for (const SettingLine& line : kSettingLines)
    if (const Member* m = std::get_if<Member>(&line.field); m && *m == field) return line.control;
  return "";
}

}  // namespace

int ConfigLineOf(const MachineField& setting) {
  for (int i = 0; i < kConfigLines; ++i)
    if (kSettingLines[i].setting == setting) return i + 1;
  return 0;
}

const char* ControlNameOf(std::string SettingsForm::*field) {
  for (const UnitLabelLine& label : kUnitLabels)
    if (label.field == field) return label.control;
  return ControlNameIn(field);
}

const char* ControlNameOf(int SettingsForm::*field) { return ControlNameIn(field); }

const char* ControlNameOf(bool SettingsForm::*field) { return ControlNameIn(field); }

}  // namespace brimo
