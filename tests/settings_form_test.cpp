// The settings form model: unit conversion in place, the checks of "Ok",
// and the locale-free number texts they rest on.

#include "core/machine/settings_form.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace brimo {
namespace {

// Every field the unit options never touch, as one comparable text.
std::string Unconverted(const SettingsForm& f) {
  std::string s;
  for (const AxisFields& a : kAxisFields) s += f.*a.stepsPerRev + "|";
  for (const AxisFields& a : kAxisFields) s += f.*a.stepPin + "|" + f.*a.dirPin + "|";
  for (const AxisFields& a : kAxisFields) s += f.*a.homePin + "|";
  s += f.LimitPin + "|";
  s += f.PulseWidth + "|" + f.ZHomingMoveMode + "|" + f.ZToLineMoveMode + "|" + f.CoordinateMode +
       "|";
  s += std::to_string(f.ReverseX) + std::to_string(f.ReverseY) + std::to_string(f.ReverseZ);
  s += std::to_string(f.HomeSwitchEnabled) + std::to_string(f.LimitSwitchEnabled) + "|";
  s += f.HomeMoveKind + "|" + f.HomeFeedrate;
  return s;
}

// Every field the unit options convert, in conversion order.
std::vector<std::string> Converted(const SettingsForm& f) {
  std::vector<std::string> v;
  for (const AxisFields& a : kAxisFields) v.push_back(f.*a.lead);
  for (const AxisFields& a : kAxisFields) v.push_back(f.*a.toolChange);
  for (const AxisFields& a : kAxisFields)
    for (auto rate : a.rates) v.push_back(f.*rate);
  v.push_back(f.ZHomingMoveDistance);
  v.push_back(f.ZToLineMoveDistance);
  return v;
}

// ---- Unit conversion --------------------------------------------------------------

TEST(UnitConversion, MillimetresToInchesAndBack) {
  SettingsForm f;
  const std::string untouched = Unconverted(f);
  ASSERT_TRUE(f.SelectInches(false));
  EXPECT_TRUE(f.UnitsInch);
  EXPECT_FALSE(f.UnitsMm);
  EXPECT_EQ(f.LeadUnitLabel, "In/");
  EXPECT_EQ(f.ZHomingUnitLabel, "(In)");
  EXPECT_EQ(f.ZToLineUnitLabel, "(In)");
  EXPECT_EQ(Converted(f),
            (std::vector<std::string>{"0.1181102", "0.1181102", "0.1181102",  // leads
                                      "0.00", "0.00", "0.5905512",            // tool change
                                      "19.68504", "7.874016", "3.937008", "19.68504",  // rates
                                      "7.874016", "3.937008", "19.68504", "7.874016",  //
                                      "3.937008",                                      //
                                      "0.3937008", "0.3937008"}));  // Z distances
  ASSERT_TRUE(f.SelectMillimetres(false));
  EXPECT_TRUE(f.UnitsMm);
  EXPECT_FALSE(f.UnitsInch);
  EXPECT_EQ(f.LeadUnitLabel, "mm/");
  EXPECT_EQ(f.ZHomingUnitLabel, "(mm)");
  EXPECT_EQ(f.ZToLineUnitLabel, "(mm)");
  // Every value comes back as it was (the Z distances show three decimals).
  EXPECT_EQ(Converted(f), (std::vector<std::string>{"3.00", "3.00", "3.00", "0", "0", "15", "500",
                                                    "200", "100", "500", "200", "100", "500", "200",
                                                    "100", "10.000", "10.000"}));
  EXPECT_EQ(Unconverted(f), untouched);
}

TEST(UnitConversion, FormatsPerGroup) {
  struct Row {
    std::string in;
    std::string lead, toolChange, rate, distance;  // after the conversion
  };
  // At least six significant digits, never fewer decimals than the group's.
  const Row toInch[] = {{"3.00", "0.1181102", "0.1181102", "0.1181102", "0.1181102"},
                        {"25.4", "1.000", "1.00", "1.00", "1.000"},
                        {"-12.7", "-0.500", "-0.50", "-0.50", "-0.500"},
                        {" 1e3 ", "39.37008", "39.37008", "39.37008", "39.37008"}};
  for (const Row& r : toInch) {
    SettingsForm f;
    f.LeadY = f.ToolChangeX = f.SlowRateY = f.ZToLineMoveDistance = r.in;
    ASSERT_TRUE(f.SelectInches(false)) << r.in;
    EXPECT_EQ(f.LeadY, r.lead) << r.in;
    EXPECT_EQ(f.ToolChangeX, r.toolChange) << r.in;
    EXPECT_EQ(f.SlowRateY, r.rate) << r.in;
    EXPECT_EQ(f.ZToLineMoveDistance, r.distance) << r.in;
  }
  const Row toMm[] = {{"0.118", "2.9972", "2.9972", "2.9972", "2.9972"},
                      {"1", "25.40", "25.4", "25.4", "25.400"},
                      {"0.02", "0.508", "0.508", "0.508", "0.508"},
                      {"0.3937008", "10.00", "10", "10", "10.000"}};
  for (const Row& r : toMm) {
    SettingsForm f;
    ASSERT_TRUE(f.SelectInches(true));  // inch selected, nothing converted
    f.LeadY = f.ToolChangeX = f.SlowRateY = f.ZToLineMoveDistance = r.in;
    ASSERT_TRUE(f.SelectMillimetres(false)) << r.in;
    EXPECT_EQ(f.LeadY, r.lead) << r.in;
    EXPECT_EQ(f.ToolChangeX, r.toolChange) << r.in;
    EXPECT_EQ(f.SlowRateY, r.rate) << r.in;
    EXPECT_EQ(f.ZToLineMoveDistance, r.distance) << r.in;
  }
}

// A millimetre value of up to six significant digits survives any number of
// round trips through inches; the lead keeps its scale to 1e-6.
TEST(UnitConversion, RoundTripsKeepSixSignificantDigits) {
  for (const std::string mm : {"3.00", "10.000", "1.25", "123.456", "0.01", "2540", "4.99999"}) {
    SettingsForm f;
    f.LeadX = f.ZHomingMoveDistance = mm;
    for (int trip = 0; trip < 3; ++trip) {
      ASSERT_TRUE(f.SelectInches(false));
      double inch = 0;
      ASSERT_TRUE(ReadFieldNumber(f.LeadX, inch));
      EXPECT_NEAR(inch * 25.4 / std::stod(mm), 1, 1e-6) << mm;
      ASSERT_TRUE(f.SelectMillimetres(false));
    }
    double back = 0;
    ASSERT_TRUE(ReadFieldNumber(f.LeadX, back));
    EXPECT_EQ(back, std::stod(mm)) << f.LeadX;
    ASSERT_TRUE(ReadFieldNumber(f.ZHomingMoveDistance, back));
    EXPECT_EQ(back, std::stod(mm)) << f.ZHomingMoveDistance;
  }
}

TEST(UnitConversion, SelectingTheSelectedOptionConvertsNothing) {
  SettingsForm f;
  ASSERT_TRUE(f.SelectMillimetres(false));
  EXPECT_EQ(Converted(f), Converted(SettingsForm{}));
  ASSERT_TRUE(f.SelectInches(false));
  const auto inches = Converted(f);
  ASSERT_TRUE(f.SelectInches(false));
  EXPECT_EQ(Converted(f), inches);
  EXPECT_EQ(f.LeadUnitLabel, "In/");
}

TEST(UnitConversion, WhileLoadingOnlyTheLabelsChange) {
  SettingsForm f;
  ASSERT_TRUE(f.SelectInches(true));
  EXPECT_TRUE(f.UnitsInch);
  EXPECT_EQ(f.LeadUnitLabel, "In/");
  EXPECT_EQ(f.ZToLineUnitLabel, "(In)");
  EXPECT_EQ(Converted(f), Converted(SettingsForm{}));
  ASSERT_TRUE(f.SelectMillimetres(true));
  EXPECT_EQ(f.ZHomingUnitLabel, "(mm)");
  EXPECT_EQ(Converted(f), Converted(SettingsForm{}));
}

// A field that is not a number: nothing converts, the unit stays, the field
// is named. Fields and unit choice always agree.
TEST(UnitConversion, FieldThatIsNotANumberRefusesTheWholeChange) {
  struct Row {
    std::string SettingsForm::*field;
    int index;  // into the nine rates (X fast, medium, slow, then Y, Z) when field is null
    std::string text;
    std::string name;
  };
  const Row rows[] = {
      {&SettingsForm::ZToLineMoveDistance, 0, "1,5", "Z distance (To line)"},
      {&SettingsForm::ZHomingMoveDistance, 0, "", "Z distance (Homing)"},
      {nullptr, 4, "fast", "Medium rate Y"},
      {nullptr, 8, "inf", "Slow rate Z"},
  };
  for (const Row& r : rows) {
    SettingsForm f;
    (r.field ? f.*r.field : f.*kAxisFields[r.index / 3].rates[r.index % 3]) = r.text;
    const SettingsForm before = f;
    std::string bad;
    EXPECT_FALSE(f.SelectInches(false, &bad));
    EXPECT_EQ(bad, r.name);
    EXPECT_EQ(Converted(f), Converted(before));
    EXPECT_TRUE(f.UnitsMm);
    EXPECT_FALSE(f.UnitsInch);
    EXPECT_EQ(f.LeadUnitLabel, "mm/");
    EXPECT_EQ(f.ZHomingUnitLabel, "(mm)");
  }
  // The same in the other direction, on the first field.
  SettingsForm f;
  ASSERT_TRUE(f.SelectInches(false));
  f.LeadX = "x";
  std::string bad;
  EXPECT_FALSE(f.SelectMillimetres(false, &bad));
  EXPECT_EQ(bad, "Lead X");
  EXPECT_TRUE(f.UnitsInch);
  EXPECT_EQ(f.LeadUnitLabel, "In/");
  EXPECT_EQ(f.LeadY, "0.1181102");
  // Without a place for the name the refusal still holds.
  EXPECT_FALSE(f.SelectMillimetres(false));
  EXPECT_TRUE(f.UnitsInch);
}

// ---- "Ok" --------------------------------------------------------------------------

TEST(ValidateForOk, DefaultsAreAccepted) {
  SettingsForm f;
  std::string m;
  EXPECT_TRUE(ValidateForOk(f, m));
  EXPECT_TRUE(m.empty());
}

TEST(ValidateForOk, RefusesWhatTheMachineCannotUse) {
  struct Row {
    void (*edit)(SettingsForm&);
    std::string named;
  };
  const Row rows[] = {
      {[](SettingsForm& f) { f.StepsPerRevX = "0"; }, "Steps per turn X"},
      {[](SettingsForm& f) { f.StepsPerRevZ = "abc"; }, "Steps per turn Z"},
      {[](SettingsForm& f) { f.StepsPerRevY = "-400"; }, "Steps per turn Y"},
      {[](SettingsForm& f) { f.LeadY = "-3"; }, "Lead Y"},
      {[](SettingsForm& f) { f.LeadX = "0"; }, "Lead X"},
      {[](SettingsForm& f) { f.LeadZ = "3,00"; }, "Lead Z"},
      {[](SettingsForm& f) { f.FastRateX = "0"; }, "Fast rate X"},
      {[](SettingsForm& f) { f.MediumRateZ = ""; }, "Medium rate Z"},
      {[](SettingsForm& f) { f.SlowRateY = "slow"; }, "Slow rate Y"},
      {[](SettingsForm& f) { f.DirPinY = "3"; }, "X step and Y dir both use pin 3"},
      {[](SettingsForm& f) { f.DirPinZ = "7.0"; }, "Z step and Z dir both use pin 7"},
      {[](SettingsForm& f) { f.DirPinX = " 9", f.StepPinZ = "9"; },
       "X dir and Z step both use pin 9"},
      {[](SettingsForm& f) { f.PortDevice = " "; }, "Port device must name"},
      {[](SettingsForm& f) { f.PortBase = "0x"; }, "Port address must be"},
      {[](SettingsForm& f) { f.PortBase = "-378"; }, "Port address must be"},
      {[](SettingsForm& f) { f.PortBase = "0xFFFE"; }, "it reads \"0xFFFE\""},
      {[](SettingsForm& f) { f.PortBase = "378h"; }, "Port address must be"},
  };
  for (const Row& r : rows) {
    SettingsForm f;
    r.edit(f);
    std::string m;
    EXPECT_FALSE(ValidateForOk(f, m)) << r.named;
    EXPECT_NE(m.find(r.named), std::string::npos) << m;
    EXPECT_NE(m.find("not saved"), std::string::npos) << m;
  }
}

// Port addresses in hexadecimal, with or without 0x, in any case; the
// status and control registers must fit after the data register.
TEST(ReadPortBase, HexadecimalWithinTheIoSpace) {
  const std::pair<const char*, unsigned> good[] = {{"0x378", 0x378},     {"378", 0x378},
                                                   {" 0XD010 ", 0xD010}, {"e800", 0xE800},
                                                   {"0x1", 1},           {"0xFFFD", 0xFFFD}};
  for (const auto& [text, want] : good) {
    unsigned base = 0;
    EXPECT_TRUE(ReadPortBase(text, base)) << text;
    EXPECT_EQ(base, want) << text;
  }
  for (const char* text :
       {"", "0x", "0", "0xFFFE", "0x10000", "0x378 1", "x378", "+378", "LPT1", "0x99999999999"}) {
    unsigned base = 7;
    EXPECT_FALSE(ReadPortBase(text, base)) << text;
    EXPECT_EQ(base, 7u) << text;
  }
  EXPECT_EQ(FormatPortBase(0x378), "0x378");
  EXPECT_EQ(FormatPortBase(0xd010), "0xD010");
}

TEST(ValidateForOk, LinesOnUndrivenPinsMayShareThem) {
  SettingsForm f;
  f.DirPinX = f.DirPinY = f.DirPinZ = "0";  // no direction lines wired
  f.StepPinZ = "";
  std::string m;
  EXPECT_TRUE(ValidateForOk(f, m)) << m;
}

TEST(ValidateForOk, FieldsNoMoveUsesAreNotChecked) {
  SettingsForm f;
  f.ToolChangeX = "x";
  f.ZHomingMoveDistance = "y";
  f.PulseWidth = "";
  std::string m;
  EXPECT_TRUE(ValidateForOk(f, m)) << m;
}

// ---- Number texts -------------------------------------------------------------------

TEST(FormatFixed, RoundsHalfAwayFromZeroWithAPeriod) {
  struct Row {
    double v;
    int decimals;
    std::string text;
  };
  const Row rows[] = {
      {3.0 / 25.4, 3, "0.118"},
      {0.118 * 25.4, 2, "3.00"},
      {500 / 25.4, 2, "19.69"},
      {19.69 * 25.4, 0, "500"},
      {15 / 25.4, 2, "0.59"},
      {10 / 25.4, 3, "0.394"},
      {0.394 * 25.4, 3, "10.008"},
      {2.675, 2, "2.68"},
      {0.5, 0, "1"},
      {1.5, 0, "2"},
      {2.5, 0, "3"},
      {-2.5, 0, "-3"},
      {-0.0004, 3, "0.000"},
      {9.9996, 3, "10.000"},
      {0, 2, "0.00"},
      {1e-7, 3, "0.000"},
      {1234567.891, 2, "1234567.89"},
      {1e20, 0, "100000000000000000000"},
      {-0.05, 1, "-0.1"},
      {0.045, 2, "0.05"},
  };
  for (const Row& r : rows) EXPECT_EQ(FormatFixed(r.v, r.decimals), r.text) << r.v;
}

TEST(ReadFieldNumber, WholeTextMustBeANumber) {
  struct Row {
    std::string text;
    bool ok;
    double value;
  };
  const Row rows[] = {
      {"3.00", true, 3}, {" 12 ", true, 12},  {"+5", true, 5},     {"-1.5", true, -1.5},
      {".5", true, 0.5}, {"1e3", true, 1000}, {"\t7\t", true, 7},  {"", false, 0},
      {"abc", false, 0}, {"3,5", false, 0},   {"12 mm", false, 0}, {"inf", false, 0},
      {"nan", false, 0}, {"-", false, 0},     {".", false, 0},     {"0x10", false, 0},
      {"1 2", false, 0}, {"--1", false, 0},   {"1e999", false, 0},
  };
  for (const Row& r : rows) {
    double v = -99;
    EXPECT_EQ(ReadFieldNumber(r.text, v), r.ok) << '"' << r.text << '"';
    EXPECT_EQ(v, r.ok ? r.value : -99) << r.text;  // a refused text leaves the value alone
  }
}

TEST(LeadingNumber, ReadsTheNumberAtTheStart) {
  struct Row {
    std::string text;
    double value;
  };
  const Row rows[] = {{"150", 150},    {"37.5 ", 37.5}, {"  -1.5", -1.5}, {"100 (ROUGH)", 100},
                      {"abc", 0},      {"", 0},         {"1.5D2", 150},   {"2e", 2},
                      {"+.25x", 0.25}, {"3,5", 3},      {".", 0}};
  for (const Row& r : rows) EXPECT_EQ(LeadingNumber(r.text), r.value) << r.text;
}

}  // namespace
}  // namespace brimo
