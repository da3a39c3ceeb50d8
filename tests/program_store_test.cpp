// The program store and the file reader: how file text becomes entries.
#include "plot/program_store.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace brimo {
namespace {

using Entries = std::vector<std::string>;

std::string TenLines(const char* lineEnd, bool finalBreak) {
  std::string text;
  for (int i = 1; i <= 10; ++i) {
    text += "G01 X" + std::to_string(i);
    if (i < 10 || finalBreak) text += lineEnd;
  }
  return text;
}

Entries TenEntries() {
  Entries e;
  for (int i = 1; i <= 10; ++i) e.push_back("G01 X" + std::to_string(i));
  return e;
}

struct SplitCase {
  const char* name;
  std::string text;
  Entries expected;
};

class SplitProgramTextTest : public ::testing::TestWithParam<SplitCase> {};

TEST_P(SplitProgramTextTest, GivesTheEntries) {
  Entries out;
  SplitProgramText(GetParam().text, out);
  EXPECT_EQ(out, GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Fields, SplitProgramTextTest,
    ::testing::Values(
        SplitCase{"TenLinesNoFinalBreak", TenLines("\n", false), TenEntries()},
        SplitCase{"TenLinesFinalBreakAddsNoEntry", TenLines("\n", true), TenEntries()},
        SplitCase{"TenLinesCrLf", TenLines("\r\n", true), TenEntries()},
        SplitCase{"TenLinesCrLfNoFinalBreak", TenLines("\r\n", false), TenEntries()},
        SplitCase{"LoneCrEndsALine", "G00 X1\rG01 X2", {"G00 X1", "G01 X2"}},
        SplitCase{"CommaSplitsTheLine", "G01 X10, Y20", {"G01 X10", "Y20"}},
        SplitCase{"LeadingBlanksAreSkipped", "   G01 X1\n  ,  Y2", {"G01 X1", "", "Y2"}},
        SplitCase{"BlankLineIsAnEmptyEntry", "G01 X1\n\nG00 X0\n", {"G01 X1", "", "G00 X0"}},
        SplitCase{"BlankLineAtTheEnd", "G01 X1\n\n", {"G01 X1", ""}},
        SplitCase{"LineOfBlanksIsAnEmptyEntry", "G01 X1\n   \nX2", {"G01 X1", "", "X2"}},
        SplitCase{"NothingBetweenCommas", "X1,,Y2", {"X1", "", "Y2"}},
        SplitCase{"CommaAtLineEndThenBreak", "X1,\nY2", {"X1", "", "Y2"}},
        SplitCase{"EmptyText", "", {}}, SplitCase{"OnlyALineBreak", "\n", {""}},
        SplitCase{"CommaInParenthesesStays", "(Feed rate, DEFAULT)", {"(Feed rate, DEFAULT)"}},
        SplitCase{"CommaAfterSemicolonStays", "G01 X1 ; a, b", {"G01 X1 ; a, b"}},
        SplitCase{"CommaAfterClosedCommentSplits", "(a, b) X1, Y2", {"(a, b) X1", "Y2"}},
        SplitCase{"UnclosedCommentEndsAtLineEnd", "(a, b\nX1, Y1", {"(a, b", "X1", "Y1"}},
        SplitCase{"QuotedFieldKeepsItsComma", "\"G01, X1\", Y2", {"G01, X1", "Y2"}},
        SplitCase{"QuotedFieldAfterBlanks", "  \"G00 X5\"\nG01", {"G00 X5", "G01"}},
        SplitCase{"TextAfterClosingQuoteDropped", "\"X1\" junk, Y2", {"X1", "Y2"}},
        SplitCase{"UnclosedQuoteStopsAtLineEnd", "\"X1, Y2\nG01 X3", {"X1, Y2", "G01 X3"}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(SplitProgramText, AppendsToWhatIsThere) {
  Entries out{"first"};
  SplitProgramText("A\nB", out);
  EXPECT_EQ(out, (Entries{"first", "A", "B"}));
}

TEST(ProgramStoreEntry, OutsideTheProgramReadsEmpty) {
  ProgramStore store;
  store.ProgramLines = {"", "G00 X1", "G01 X2"};
  store.LineCount = 2;
  EXPECT_EQ(store.Entry(1), "G00 X1");
  EXPECT_EQ(store.Entry(2), "G01 X2");
  EXPECT_EQ(store.Entry(0), "");
  EXPECT_EQ(store.Entry(3), "");
  EXPECT_EQ(store.Entry(-1), "");
}

// A file in the test's own temporary folder, removed afterwards.
class ReadProgramFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() /
           ("brimo_store_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
            "_" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::create_directories(dir_);
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }
  std::string Write(const std::string& name, const std::string& text) {
    auto p = dir_ / name;
    std::ofstream(p, std::ios::binary) << text;
    return p.string();
  }
  std::filesystem::path dir_;
};

TEST_F(ReadProgramFileTest, ReadsEntriesOneBased) {
  const std::string path = Write("p.txt", "G00 X1\r\nG01 X2, Y3\r\n");
  ProgramStore store;
  std::string why = "stale";
  ASSERT_TRUE(ReadProgramFile(path, store, why));
  EXPECT_EQ(why, "");
  EXPECT_EQ(store.LineCount, 3);
  EXPECT_EQ(store.ProgramLines, (Entries{"", "G00 X1", "G01 X2", "Y3"}));
}

TEST_F(ReadProgramFileTest, ReplacesTheOldProgram) {
  ProgramStore store;
  std::string why;
  ASSERT_TRUE(ReadProgramFile(Write("a.txt", "A\nB\nC\n"), store, why));
  ASSERT_TRUE(ReadProgramFile(Write("b.txt", "D\n"), store, why));
  EXPECT_EQ(store.LineCount, 1);
  EXPECT_EQ(store.ProgramLines, (Entries{"", "D"}));
}

TEST_F(ReadProgramFileTest, EmptyFileLoadsNoEntries) {
  ProgramStore store;
  std::string why;
  ASSERT_TRUE(ReadProgramFile(Write("empty.txt", ""), store, why));
  EXPECT_EQ(store.LineCount, 0);
}

TEST_F(ReadProgramFileTest, MissingFileNamesThePathAndEmptiesTheStore) {
  ProgramStore store;
  store.ProgramLines = {"", "old"};
  store.LineCount = 1;
  const std::string path = (dir_ / "no_such_program.txt").string();
  std::string why;
  EXPECT_FALSE(ReadProgramFile(path, store, why));
  EXPECT_NE(why.find(path), std::string::npos) << why;
  EXPECT_NE(why.find("No such file"), std::string::npos) << why;
  EXPECT_EQ(store.LineCount, 0);
  EXPECT_EQ(store.ProgramLines.size(), 1u);
}

TEST_F(ReadProgramFileTest, FolderIsRefusedWithItsPath) {
  ProgramStore store;
  std::string why;
  EXPECT_FALSE(ReadProgramFile(dir_.string(), store, why));
  EXPECT_NE(why.find(dir_.string()), std::string::npos) << why;
  EXPECT_NE(why.find("folder"), std::string::npos) << why;
}

// The store grows with the entries: a file of N bytes with few, long lines
// must not reserve anything near N entries.
TEST_F(ReadProgramFileTest, StoreGrowsWithEntriesNotFileBytes) {
  std::string text;
  const int lines = 200000;
  const std::string pad(40, ' ');
  for (int i = 0; i < lines; ++i) text += "G01 X" + std::to_string(i) + " Y1.0000 (" + pad + ")\n";
  ProgramStore store;
  std::string why;
  ASSERT_TRUE(ReadProgramFile(Write("big.txt", text), store, why));
  EXPECT_EQ(store.LineCount, lines);
  EXPECT_EQ(store.Entry(lines), "G01 X" + std::to_string(lines - 1) + " Y1.0000 (" + pad + ")");
  // A store sized by bytes would hold more than 10 million slots here.
  EXPECT_LT(store.ProgramLines.capacity(), 3u * lines) << "file bytes: " << text.size();
}

}  // namespace
}  // namespace brimo
