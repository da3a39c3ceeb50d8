// Where brimo.cfg lives: each user's own configuration folder, an old file
// beside the program taken over once, and the samples beside the program or
// installed under share/.

#include "core/machine/config_location.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <optional>
#include <string>

#include "core/machine/messages.h"

namespace brimo {
namespace {

namespace fs = std::filesystem;

void SetEnv(const char* name, const std::optional<std::string>& value) {
#if defined(_WIN32)
  _putenv_s(name, value ? value->c_str() : "");
#else
  if (value)
    setenv(name, value->c_str(), 1);
  else
    unsetenv(name);
#endif
}

class ConfigLocation : public ::testing::Test {
 protected:
  void SetUp() override {
    // One folder per test: ctest runs the cases in parallel processes.
    root_ = fs::temp_directory_path() /
            (std::string("brimo_cfgloc_") +
             ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(root_);
    fs::create_directories(root_ / "bin");
    for (const char* name : {"XDG_CONFIG_HOME", "HOME", "APPDATA"})
      if (const char* v = std::getenv(name)) saved_[name] = v;
  }
  void TearDown() override {
    for (const char* name : {"XDG_CONFIG_HOME", "HOME", "APPDATA"}) {
      auto it = saved_.find(name);
      SetEnv(name, it == saved_.end() ? std::nullopt : std::optional<std::string>(it->second));
    }
    fs::remove_all(root_);
  }
  static std::string Read(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }
  static void Write(const fs::path& p, const std::string& text) {
    fs::create_directories(p.parent_path());
    std::ofstream(p, std::ios::binary) << text;
  }
  fs::path root_;
  std::map<std::string, std::string> saved_;
};

TEST_F(ConfigLocation, EachUserHasTheirOwnAndAnOldFileIsTakenOverOnce) {
#if defined(_WIN32)
  SetEnv("APPDATA", (root_ / "home").string());
  const fs::path own = root_ / "home" / "BrimoCNC";
#else
  SetEnv("XDG_CONFIG_HOME", (root_ / "home").string());
  const fs::path own = root_ / "home" / "brimocnc";
#endif
  const fs::path bin = root_ / "bin";
  EXPECT_EQ(UserConfigFolder(), own);
  // Nothing anywhere: both read the user's (missing) file.
  EXPECT_EQ(ConfigFileToRead(bin), own / "brimo.cfg");

  Write(bin / "brimo.cfg", "old");
  // The simulation reads the old file in place and writes nothing.
  EXPECT_EQ(ConfigFileToRead(bin), bin / "brimo.cfg");
  EXPECT_FALSE(fs::exists(own));
  // The window copies it over, once, and says so.
  std::string note;
  EXPECT_EQ(PrepareConfigFolder(bin, note), own);
  EXPECT_EQ(Read(own / "brimo.cfg"), "old");
  EXPECT_EQ(note, msg::kConfigTakenOver + (bin / "brimo.cfg").string() + msg::kConfigTakenOverTo +
                      (own / "brimo.cfg").string());
  EXPECT_EQ(Read(bin / "brimo.cfg"), "old");  // copied, not moved
  Write(bin / "brimo.cfg", "newer");
  EXPECT_EQ(PrepareConfigFolder(bin, note), own);
  EXPECT_EQ(note, "");
  EXPECT_EQ(Read(own / "brimo.cfg"), "old");
  EXPECT_EQ(ConfigFileToRead(bin), own / "brimo.cfg");
}

#if !defined(_WIN32)
TEST_F(ConfigLocation, TheFolderFollowsXdgThenHomeElseStaysBesideTheProgram) {
  SetEnv("HOME", (root_ / "user").string());
  SetEnv("XDG_CONFIG_HOME", "relative/ignored");
  EXPECT_EQ(UserConfigFolder(), root_ / "user" / ".config" / "brimocnc");
  SetEnv("XDG_CONFIG_HOME", std::nullopt);
  EXPECT_EQ(UserConfigFolder(), root_ / "user" / ".config" / "brimocnc");
  SetEnv("HOME", std::nullopt);
  std::string note;
  EXPECT_EQ(PrepareConfigFolder(root_ / "bin", note), root_ / "bin");
  EXPECT_EQ(ConfigFileToRead(root_ / "bin"), root_ / "bin" / "brimo.cfg");
  // A folder that cannot be made (a file stands in the way): beside the program.
  Write(root_ / "file", "x");
  SetEnv("XDG_CONFIG_HOME", (root_ / "file").string());
  EXPECT_EQ(PrepareConfigFolder(root_ / "bin", note), root_ / "bin");
}
#endif

TEST_F(ConfigLocation, SamplesBesideTheProgramElseInstalledUnderShare) {
  const fs::path bin = root_ / "bin";
  EXPECT_EQ(SamplesFolder(bin), bin / "gcodes");  // neither: the first
  fs::create_directories(root_ / "share" / "brimocnc" / "gcodes");
  EXPECT_EQ(SamplesFolder(bin), root_ / "share" / "brimocnc" / "gcodes");
  fs::create_directories(bin / "gcodes");
  EXPECT_EQ(SamplesFolder(bin), bin / "gcodes");
}

TEST(ExecutableFolder, HoldsThisTest) {
  const fs::path folder = ExecutableFolder();
  ASSERT_FALSE(folder.empty());
  bool found = false;
  for (const auto& e : fs::directory_iterator(folder))
    found = found || e.path().stem() == "brimo_machine_tests";
  EXPECT_TRUE(found) << folder;
}

}  // namespace
}  // namespace brimo
