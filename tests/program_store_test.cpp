// The program store and the file reader: how file text becomes entries.
#include "core/program/program_store.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#ifndef _WIN32
#include <sys/stat.h>
#endif

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
        SplitCase{"CommaInNestedCommentStays",
                  "G01 X1 (A (B, C) D, E) Y2, Z3",
                  {"G01 X1 (A (B, C) D, E) Y2", "Z3"}},
        SplitCase{"UnclosedNestedCommentEndsAtLineEnd",
                  "X1 (A (B) C, D\nY2, Z3",
                  {"X1 (A (B) C, D", "Y2", "Z3"}},
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
  store.Assign({"G00 X1", "G01 X2"});
  EXPECT_EQ(store.Entry(1), "G00 X1");
  EXPECT_EQ(store.Entry(2), "G01 X2");
  EXPECT_EQ(store.Entry(0), "");
  EXPECT_EQ(store.Entry(3), "");
  EXPECT_EQ(store.Entry(-1), "");
}

// A copy (the run-time estimate's, the simulation's) shares the loaded text
// instead of duplicating a million entries; changing one copy leaves the
// other as it was.
TEST(ProgramStoreEntry, CopiesShareTheTextUntilOneChanges) {
  ProgramStore store;
  store.Assign({"G00 X1", "G01 X2"});
  ProgramStore copy = store;
  EXPECT_EQ(copy.Entry(2).data(), store.Entry(2).data());
  copy.Append("Y3");
  EXPECT_EQ(copy.LineCount, 3);
  EXPECT_EQ(copy.ProgramLines(), (Entries{"", "G00 X1", "G01 X2", "Y3"}));
  EXPECT_EQ(store.LineCount, 2);
  EXPECT_EQ(store.ProgramLines(), (Entries{"", "G00 X1", "G01 X2"}));
  store.Clear();
  EXPECT_EQ(store.Entry(1), "");
  EXPECT_EQ(copy.Entry(1), "G00 X1");
}

// The generation names the store's text: every change takes a number no
// other text had (two stores loaded apart never share one), a copy keeps its
// store's. A redraw compares it instead of reading a million entries.
TEST(ProgramStoreGeneration, EveryChangeIsANewGenerationAndACopyKeepsIt) {
  ProgramStore store, other;
  const struct {
    const char* name;
    void (*change)(ProgramStore&);
  } changes[] = {
      {"Assign",
       [](ProgramStore& s) {
         s.Assign({"G00 X1", "G01 X2"});
       }},
      {"Append", [](ProgramStore& s) { s.Append("Y3"); }},
      {"AssignText", [](ProgramStore& s) { s.AssignText("G00 X1\nG01 X2\n"); }},
      {"the same text again", [](ProgramStore& s) { s.AssignText("G00 X1\nG01 X2\n"); }},
      {"Clear", [](ProgramStore& s) { s.Clear(); }},
  };
  for (const auto& row : changes) {
    const uint64_t before = store.Generation();
    row.change(store);
    row.change(other);
    EXPECT_NE(store.Generation(), before) << row.name;
    EXPECT_NE(store.Generation(), other.Generation()) << row.name;
    const ProgramStore copy = store;
    EXPECT_EQ(copy.Generation(), store.Generation()) << row.name;
    ProgramStore moved = ProgramStore(store);
    EXPECT_EQ(moved.Generation(), store.Generation()) << row.name;
  }
}

// A file in the test's own temporary folder, removed afterwards.
class ReadProgramFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // A parameterised test's name holds a '/': one folder, not two.
    std::string name = "brimo_store_" +
                       std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "_" +
                       ::testing::UnitTest::GetInstance()->current_test_info()->name();
    std::replace(name.begin(), name.end(), '/', '_');
    dir_ = std::filesystem::temp_directory_path() / name;
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
  EXPECT_EQ(store.ProgramLines(), (Entries{"", "G00 X1", "G01 X2", "Y3"}));
}

TEST_F(ReadProgramFileTest, ReplacesTheOldProgram) {
  ProgramStore store;
  std::string why;
  ASSERT_TRUE(ReadProgramFile(Write("a.txt", "A\nB\nC\n"), store, why));
  ASSERT_TRUE(ReadProgramFile(Write("b.txt", "D\n"), store, why));
  EXPECT_EQ(store.LineCount, 1);
  EXPECT_EQ(store.ProgramLines(), (Entries{"", "D"}));
}

TEST_F(ReadProgramFileTest, EmptyFileLoadsNoEntries) {
  ProgramStore store;
  std::string why;
  ASSERT_TRUE(ReadProgramFile(Write("empty.txt", ""), store, why));
  EXPECT_EQ(store.LineCount, 0);
}

TEST_F(ReadProgramFileTest, MissingFileNamesThePathAndKeepsTheLoadedProgram) {
  ProgramStore store;
  store.Assign({"old"});
  const std::string path = (dir_ / "no_such_program.txt").string();
  std::string why;
  EXPECT_FALSE(ReadProgramFile(path, store, why));
  EXPECT_NE(why.find(path), std::string::npos) << why;
  EXPECT_NE(why.find("No such file"), std::string::npos) << why;
  EXPECT_EQ(store.LineCount, 1);
  EXPECT_EQ(store.ProgramLines(), (Entries{"", "old"}));
}

// What the file holds decides whether it is a program at all. A refused file
// leaves the loaded program as it was; 8-bit text in any encoding is fine.
struct ContentCase {
  const char* name;
  std::string bytes;
  const char* why;  // part of the reason; nullptr: the file loads
  Entries entries;  // when it loads
};

class ReadProgramContent : public ReadProgramFileTest,
                           public ::testing::WithParamInterface<ContentCase> {};

TEST_P(ReadProgramContent, RefusesWhatIsNotATextProgram) {
  const ContentCase& c = GetParam();
  ProgramStore store;
  store.Assign({"old"});
  std::string why;
  const bool ok = ReadProgramFile(Write("p.txt", c.bytes), store, why);
  if (c.why) {
    EXPECT_FALSE(ok);
    EXPECT_NE(why.find(c.why), std::string::npos) << why;
    EXPECT_EQ(store.ProgramLines(), (Entries{"", "old"}));
  } else {
    EXPECT_TRUE(ok) << why;
    Entries expected{""};
    expected.insert(expected.end(), c.entries.begin(), c.entries.end());
    EXPECT_EQ(store.ProgramLines(), expected);
  }
}

using namespace std::string_literals;
INSTANTIATE_TEST_SUITE_P(Contents, ReadProgramContent,
                         ::testing::Values(ContentCase{"NulByte", "G01 X1\n\0G00 X0\n"s, "NUL", {}},
                                           ContentCase{"Utf16LittleEndian",
                                                       "\xFF\xFEG\0"
                                                       "0\0"
                                                       "1\0\n\0"s,
                                                       "UTF-16",
                                                       {}},
                                           ContentCase{"Utf16BigEndian",
                                                       "\xFE\xFF\0G\0"
                                                       "0\0"
                                                       "1\0\n"s,
                                                       "UTF-16",
                                                       {}},
                                           ContentCase{"Utf16WithoutMark",
                                                       "G\0"
                                                       "0\0"
                                                       "1\0\n\0"s,
                                                       "NUL",
                                                       {}},
                                           ContentCase{"Utf8MarkIsStripped",
                                                       "\xEF\xBB\xBFG01 X1\nG00 X0\n",
                                                       nullptr,
                                                       {"G01 X1", "G00 X0"}},
                                           ContentCase{"Latin1Accents",
                                                       "(Fr\xE4se \xD8 6)\nG01 X1\n",
                                                       nullptr,
                                                       {"(Fr\xE4se \xD8 6)", "G01 X1"}},
                                           ContentCase{"Utf8Accents",
                                                       "(Fr\xC3\xA4se)\nG01 X1\n",
                                                       nullptr,
                                                       {"(Fr\xC3\xA4se)", "G01 X1"}}),
                         [](const auto& info) { return std::string(info.param.name); });

// A pipe would block the read until something writes to it; a device need
// not end. Neither is opened.
TEST_F(ReadProgramFileTest, PipesAndDevicesAreRefusedWithoutOpeningThem) {
#ifndef _WIN32
  const std::string fifo = (dir_ / "pipe.txt").string();
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  for (const std::string& path : {fifo, std::string("/dev/zero")}) {
    ProgramStore store;
    store.Assign({"old"});
    std::string why;
    EXPECT_FALSE(ReadProgramFile(path, store, why)) << path;
    EXPECT_NE(why.find(path), std::string::npos) << why;
    EXPECT_NE(why.find("not a regular file"), std::string::npos) << why;
    EXPECT_EQ(store.LineCount, 1);
  }
#else
  GTEST_SKIP() << "no pipes in the file system here";
#endif
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
  EXPECT_LT(store.EntryCapacity(), 3u * lines) << "file bytes: " << text.size();
}

}  // namespace
}  // namespace brimo
