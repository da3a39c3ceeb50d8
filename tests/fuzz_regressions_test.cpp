// Reproducers of what the fuzz targets under fuzz/ found, kept as ordinary
// tests so a later change cannot bring the fault back unseen.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "core/machine/config_file.h"
#include "core/machine/machine_state.h"
#include "core/machine/settings_form.h"

namespace brimo {
namespace {

namespace fs = std::filesystem;

// A folder of its own for one test.
struct Folder {
  fs::path dir;
  Folder() {
    std::random_device rd;
    dir = fs::temp_directory_path() / ("brimo-fuzzreg-" + std::to_string(rd()));
    fs::create_directories(dir);
  }
  ~Folder() {
    std::error_code ec;
    fs::remove_all(dir, ec);
  }
  void Write(const std::string& bytes) const {
    std::ofstream(dir / kConfigName, std::ios::binary) << bytes;
  }
  std::string Read() const {
    std::ifstream in(dir / kConfigName, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }
};

// config_roundtrip: a file whose two unit lines (or several home-choice
// lines) both read True loaded the form with the later option selected but
// left both flags set in the settings, so the unit in force disagreed with
// the one shown and saved (and a later switch to millimetres in the
// dialog converted no position). Of several True options of a group the
// last one stays and the earlier ones read False; the file loads as before.
TEST(FuzzRegressions, AnOptionGroupWithSeveralTrueLinesSelectsTheLastOne) {
  struct Row {
    int line[2];           // 1-based lines set to "True"-like values
    std::string value[2];  // what they hold
  } rows[] = {
      {{32, 33}, {"100", "500"}},  // the fuzzer's file: numbers read as True
      {{32, 33}, {"True", "True"}},
      {{44, 46}, {"True", "1"}},  // home choice: switches and machine zero
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.line[0]);
    MachineState ms;
    SettingsForm form;
    ASSERT_TRUE(ApplyFormSettings(ms, form, "0").ok);
    std::string text = ConfigText(ms, form);
    std::vector<std::string> lines;
    for (size_t a = 0, b; (b = text.find("\r\n", a)) != std::string::npos; a = b + 2)
      lines.push_back(text.substr(a, b - a));
    ASSERT_EQ(lines.size(), static_cast<size_t>(kConfigLines));
    for (int k = 0; k < 2; ++k) lines[row.line[k] - 1] = row.value[k];
    std::string bytes;
    for (const auto& l : lines) bytes += l + "\r\n";
    Folder f;
    f.Write(bytes);

    const ConfigResult r = LoadConfiguration(f.dir.string(), ms, form, "0");
    EXPECT_TRUE(r.ok);
    // The later option is the one selected.
    if (row.line[0] == 32) {
      EXPECT_TRUE(form.UnitsInch);
    }
    if (row.line[0] == 44) {
      EXPECT_TRUE(form.HomeUsingMachineZero);
    }
    // The settings hold what the form shows.
    EXPECT_EQ(ms.UnitsMm, form.UnitsMm);
    EXPECT_EQ(ms.UnitsInch, form.UnitsInch);
    EXPECT_EQ(ms.HomeUsingHomeSwitch, form.HomeUsingHomeSwitch);
    EXPECT_EQ(ms.HomeUsingProgramZero, form.HomeUsingProgramZero);
    EXPECT_EQ(ms.HomeUsingMachineZero, form.HomeUsingMachineZero);
    EXPECT_FALSE(ms.UnitsMm && ms.UnitsInch);

    // Saved and read back: the same settings.
    std::string why;
    ASSERT_TRUE(SaveConfiguration(f.dir.string(), ms, form, why));
    MachineState again;
    SettingsForm againForm;
    ASSERT_TRUE(LoadConfiguration(f.dir.string(), again, againForm, "0").ok);
    EXPECT_EQ(again.UnitsMm, ms.UnitsMm);
    EXPECT_EQ(again.UnitsInch, ms.UnitsInch);
    EXPECT_EQ(again.UnitsPerStepX, ms.UnitsPerStepX);
    EXPECT_EQ(f.Read(), ConfigText(again, againForm));
  }
}

// config_roundtrip: a unit value line (34, 36) holding a fraction ("0.3")
// was taken as it stands, but a save writes unit values as whole numbers,
// so saving and reading back changed the value in force (0.3 became 0).
// The load now keeps the whole number a save writes.
TEST(FuzzRegressions, AUnitValueIsKeptAsTheWholeNumberASaveWrites) {
  struct Row {
    const char* inch;  // line 34
    const char* mm;    // line 36
    double inchValue, mmValue;
  } rows[] = {{"2.5", "0.3", 2, 0}, {"3.5", "-0.5", 4, 0}, {"7", "1.49", 7, 1}};
  for (const Row& row : rows) {
    SCOPED_TRACE(row.mm);
    MachineState ms;
    SettingsForm form;
    ASSERT_TRUE(ApplyFormSettings(ms, form, "0").ok);
    std::string text = ConfigText(ms, form);
    std::vector<std::string> lines;
    for (size_t a = 0, b; (b = text.find("\r\n", a)) != std::string::npos; a = b + 2)
      lines.push_back(text.substr(a, b - a));
    ASSERT_EQ(lines.size(), static_cast<size_t>(kConfigLines));
    lines[33] = row.inch, lines[35] = row.mm;
    std::string bytes;
    for (const auto& l : lines) bytes += l + "\r\n";
    Folder f;
    f.Write(bytes);
    ASSERT_TRUE(LoadConfiguration(f.dir.string(), ms, form, "0").ok);
    EXPECT_EQ(ms.InchUnitValue, row.inchValue);
    EXPECT_EQ(ms.MmUnitValue, row.mmValue);
    const double inForce = ms.UnitValue;
    std::string why;
    ASSERT_TRUE(SaveConfiguration(f.dir.string(), ms, form, why));
    MachineState again;
    SettingsForm againForm;
    ASSERT_TRUE(LoadConfiguration(f.dir.string(), again, againForm, "0").ok);
    EXPECT_EQ(again.UnitValue, inForce);
    EXPECT_EQ(again.MmUnitValue, ms.MmUnitValue);
  }
}

// settings_dialog: a pin field holding a line break ("2<LF>") reads as no
// pin, so "Ok" let it share pin 2 with another line; the save leaves the
// break out, and reading brimo.cfg back found two lines on pin 2, replaced
// one by its default and left the machine with settings the dialog did not
// show. "Ok" now checks the fields as the save writes them.
TEST(FuzzRegressions, OkChecksAPinWithALineBreakAsTheSaveWritesIt) {
  for (const char* pin : {"2\n", "\r2", "2\r\n"}) {
    SCOPED_TRACE(pin);
    SettingsForm form;
    form.DirPinZ = pin;  // Z dir on X dir's pin 2
    std::string message;
    EXPECT_FALSE(ValidateForOk(form, message));
    EXPECT_NE(message.find("pin 2"), std::string::npos) << message;
  }
  SettingsForm form;
  form.DirPinZ = "8\n";  // a pin of its own stays usable
  std::string message;
  EXPECT_TRUE(ValidateForOk(form, message)) << message;
}

}  // namespace
}  // namespace brimo
