// The settings form model: unit conversion in place, the checks of "Ok",
// and the locale-free number texts they rest on.

#include "machine/settings_form.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace brimo {
namespace {

// Every field the unit options never touch, as one comparable text.
std::string Unconverted(const SettingsForm& f) {
  std::string s;
  for (const auto& t : f.Combo2) s += t + "|";
  for (const auto& t : f.Combo1) s += t + "|";
  for (const auto& t : f.Combo8) s += t + "|";
  s += f.Combo4 + "|" + f.Combo5 + "|" + f.Combo10 + "|" + f.Combo9 + "|";
  s += std::to_string(f.XReverse) + std::to_string(f.YReverse) + std::to_string(f.ZReverse);
  s += std::to_string(f.Check1[0]) + std::to_string(f.Check1[1]) + "|";
  s += f.HomeCombo1 + "|" + f.Text6;
  return s;
}

// Every field the unit options convert, in conversion order.
std::vector<std::string> Converted(const SettingsForm& f) {
  std::vector<std::string> v(f.Combo7, f.Combo7 + 3);
  v.insert(v.end(), f.Combo6, f.Combo6 + 3);
  v.insert(v.end(), f.Combo3, f.Combo3 + 9);
  v.push_back(f.Text1);
  v.push_back(f.Text2);
  return v;
}

// ---- Unit conversion --------------------------------------------------------------

TEST(UnitConversion, MillimetresToInchesAndBack) {
  SettingsForm f;
  const std::string untouched = Unconverted(f);
  ASSERT_TRUE(f.OptionIn_Click(false));
  EXPECT_TRUE(f.OptionIn);
  EXPECT_FALSE(f.optionmm);
  EXPECT_EQ(f.Label4, "In/");
  EXPECT_EQ(f.Label18, "(In)");
  EXPECT_EQ(f.Label24, "(In)");
  EXPECT_EQ(Converted(f),
            (std::vector<std::string>{"0.1181102", "0.1181102", "0.1181102",  // leads
                                      "0.00", "0.00", "0.5905512",            // tool change
                                      "19.68504", "7.874016", "3.937008", "19.68504",  // rates
                                      "7.874016", "3.937008", "19.68504", "7.874016",  //
                                      "3.937008",                                      //
                                      "0.3937008", "0.3937008"}));  // Z distances
  ASSERT_TRUE(f.optionmm_Click(false));
  EXPECT_TRUE(f.optionmm);
  EXPECT_FALSE(f.OptionIn);
  EXPECT_EQ(f.Label4, "mm/");
  EXPECT_EQ(f.Label18, "(mm)");
  EXPECT_EQ(f.Label24, "(mm)");
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
    f.Combo7[1] = f.Combo6[0] = f.Combo3[5] = f.Text2 = r.in;
    ASSERT_TRUE(f.OptionIn_Click(false)) << r.in;
    EXPECT_EQ(f.Combo7[1], r.lead) << r.in;
    EXPECT_EQ(f.Combo6[0], r.toolChange) << r.in;
    EXPECT_EQ(f.Combo3[5], r.rate) << r.in;
    EXPECT_EQ(f.Text2, r.distance) << r.in;
  }
  const Row toMm[] = {{"0.118", "2.9972", "2.9972", "2.9972", "2.9972"},
                      {"1", "25.40", "25.4", "25.4", "25.400"},
                      {"0.02", "0.508", "0.508", "0.508", "0.508"},
                      {"0.3937008", "10.00", "10", "10", "10.000"}};
  for (const Row& r : toMm) {
    SettingsForm f;
    ASSERT_TRUE(f.OptionIn_Click(true));  // inch selected, nothing converted
    f.Combo7[1] = f.Combo6[0] = f.Combo3[5] = f.Text2 = r.in;
    ASSERT_TRUE(f.optionmm_Click(false)) << r.in;
    EXPECT_EQ(f.Combo7[1], r.lead) << r.in;
    EXPECT_EQ(f.Combo6[0], r.toolChange) << r.in;
    EXPECT_EQ(f.Combo3[5], r.rate) << r.in;
    EXPECT_EQ(f.Text2, r.distance) << r.in;
  }
}

// A millimetre value of up to six significant digits survives any number of
// round trips through inches; the lead keeps its scale to 1e-6.
TEST(UnitConversion, RoundTripsKeepSixSignificantDigits) {
  for (const std::string mm : {"3.00", "10.000", "1.25", "123.456", "0.01", "2540", "4.99999"}) {
    SettingsForm f;
    f.Combo7[0] = f.Text1 = mm;
    for (int trip = 0; trip < 3; ++trip) {
      ASSERT_TRUE(f.OptionIn_Click(false));
      double inch = 0;
      ASSERT_TRUE(ReadFieldNumber(f.Combo7[0], inch));
      EXPECT_NEAR(inch * 25.4 / std::stod(mm), 1, 1e-6) << mm;
      ASSERT_TRUE(f.optionmm_Click(false));
    }
    double back = 0;
    ASSERT_TRUE(ReadFieldNumber(f.Combo7[0], back));
    EXPECT_EQ(back, std::stod(mm)) << f.Combo7[0];
    ASSERT_TRUE(ReadFieldNumber(f.Text1, back));
    EXPECT_EQ(back, std::stod(mm)) << f.Text1;
  }
}

TEST(UnitConversion, SelectingTheSelectedOptionConvertsNothing) {
  SettingsForm f;
  ASSERT_TRUE(f.optionmm_Click(false));
  EXPECT_EQ(Converted(f), Converted(SettingsForm{}));
  ASSERT_TRUE(f.OptionIn_Click(false));
  const auto inches = Converted(f);
  ASSERT_TRUE(f.OptionIn_Click(false));
  EXPECT_EQ(Converted(f), inches);
  EXPECT_EQ(f.Label4, "In/");
}

TEST(UnitConversion, WhileLoadingOnlyTheLabelsChange) {
  SettingsForm f;
  ASSERT_TRUE(f.OptionIn_Click(true));
  EXPECT_TRUE(f.OptionIn);
  EXPECT_EQ(f.Label4, "In/");
  EXPECT_EQ(f.Label24, "(In)");
  EXPECT_EQ(Converted(f), Converted(SettingsForm{}));
  ASSERT_TRUE(f.optionmm_Click(true));
  EXPECT_EQ(f.Label18, "(mm)");
  EXPECT_EQ(Converted(f), Converted(SettingsForm{}));
}

// A field that is not a number: nothing converts, the unit stays, the field
// is named. Fields and unit choice always agree.
TEST(UnitConversion, FieldThatIsNotANumberRefusesTheWholeChange) {
  struct Row {
    std::string SettingsForm::*field;
    int index;  // into Combo3 when field is null
    std::string text;
    std::string name;
  };
  const Row rows[] = {
      {&SettingsForm::Text2, 0, "1,5", "Z distance (To line)"},
      {&SettingsForm::Text1, 0, "", "Z distance (Homing)"},
      {nullptr, 4, "fast", "Medium rate Y"},
      {nullptr, 8, "inf", "Slow rate Z"},
  };
  for (const Row& r : rows) {
    SettingsForm f;
    (r.field ? f.*r.field : f.Combo3[r.index]) = r.text;
    const SettingsForm before = f;
    std::string bad;
    EXPECT_FALSE(f.OptionIn_Click(false, &bad));
    EXPECT_EQ(bad, r.name);
    EXPECT_EQ(Converted(f), Converted(before));
    EXPECT_TRUE(f.optionmm);
    EXPECT_FALSE(f.OptionIn);
    EXPECT_EQ(f.Label4, "mm/");
    EXPECT_EQ(f.Label18, "(mm)");
  }
  // The same in the other direction, on the first field.
  SettingsForm f;
  ASSERT_TRUE(f.OptionIn_Click(false));
  f.Combo7[0] = "x";
  std::string bad;
  EXPECT_FALSE(f.optionmm_Click(false, &bad));
  EXPECT_EQ(bad, "Lead X");
  EXPECT_TRUE(f.OptionIn);
  EXPECT_EQ(f.Label4, "In/");
  EXPECT_EQ(f.Combo7[1], "0.1181102");
  // Without a place for the name the refusal still holds.
  EXPECT_FALSE(f.optionmm_Click(false));
  EXPECT_TRUE(f.OptionIn);
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
      {[](SettingsForm& f) { f.Combo2[0] = "0"; }, "Steps per turn X"},
      {[](SettingsForm& f) { f.Combo2[2] = "abc"; }, "Steps per turn Z"},
      {[](SettingsForm& f) { f.Combo2[1] = "-400"; }, "Steps per turn Y"},
      {[](SettingsForm& f) { f.Combo7[1] = "-3"; }, "Lead Y"},
      {[](SettingsForm& f) { f.Combo7[0] = "0"; }, "Lead X"},
      {[](SettingsForm& f) { f.Combo7[2] = "3,00"; }, "Lead Z"},
      {[](SettingsForm& f) { f.Combo3[0] = "0"; }, "Fast rate X"},
      {[](SettingsForm& f) { f.Combo3[7] = ""; }, "Medium rate Z"},
      {[](SettingsForm& f) { f.Combo3[5] = "slow"; }, "Slow rate Y"},
      {[](SettingsForm& f) { f.Combo1[3] = "3"; }, "X step and Y dir both use pin 3"},
      {[](SettingsForm& f) { f.Combo1[5] = "7.0"; }, "Z step and Z dir both use pin 7"},
      {[](SettingsForm& f) { f.Combo1[1] = " 9", f.Combo1[4] = "9"; },
       "X dir and Z step both use pin 9"},
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

TEST(ValidateForOk, LinesOnUndrivenPinsMayShareThem) {
  SettingsForm f;
  f.Combo1[1] = f.Combo1[3] = f.Combo1[5] = "0";  // no direction lines wired
  f.Combo1[4] = "";
  std::string m;
  EXPECT_TRUE(ValidateForOk(f, m)) << m;
}

TEST(ValidateForOk, FieldsNoMoveUsesAreNotChecked) {
  SettingsForm f;
  f.Combo6[0] = "x";
  f.Text1 = "y";
  f.Combo4 = "";
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
