// The G-code line parser: the number rule, words and their order, modal
// registers, skipped lines, scaling, pecks, the arc-without-centre rule, the
// tool change, and the mended readings (comments, word order, tabs,
// exponents, bad numbers, short motion words).
#include "core/interpreter/parser.h"

#include <gtest/gtest.h>

#include <atomic>
#include <clocale>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <locale>
#include <new>
#include <string>

#include "core/interpreter/dispatch.h"
#include "core/machine/messages.h"
#include "support/test_rig.h"

// Every allocation of this test program is counted, so a test can show that
// a routine allocates nothing.
namespace {
std::atomic<long> gAllocations{0};
}  // namespace
void* operator new(std::size_t size) {
  gAllocations.fetch_add(1, std::memory_order_relaxed);
  if (void* p = std::malloc(size ? size : 1)) return p;
  throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }

namespace brimo::test {
namespace {

void Parse(TestRig& r, const std::string& line) {
  r.ms.LineText = line;
  ReadLine(r.core);
}

// ---- Number rule -----------------------------------------------------------

struct NumberCase {
  const char* text;
  double value;
};

TEST(ReadNumber, ReadsTheLeadingNumberOfAText) {
  const NumberCase cases[] = {
      {"-1.5 ", -1.5}, {"1 2", 12},     {"100 (ROUGH)", 100},
      {"", 0},         {"abc", 0},      {"-.5", -0.5},
      {"+ 7", 7},      {"1.2.3", 1.2},  {"\t3\n", 3},
      {"3\r", 3},      {"1,5", 1},      {"- 1 . 2 5", -1.25},
      {"007", 7},      {".", 0},        {"-", 0},
      {"1.5E3", 1500}, {"1.5D3", 1500}, {"1.5e3", 1500},
      {"2E-2", 0.02},  {"1.E2", 100},   {"1E", 1},
      {"1E+", 1},      {"1E 2", 100},   {"0.00001E-2", 1e-7},
      {"&HFF", 255},   {"&H1f", 31},    {"&O17", 15},
      {"&O18", 1},     {"&H", 0},       {"&X12", 0},
      {"1E-999", 0},   {"0E999", 0},
  };
  for (const auto& c : cases) EXPECT_DOUBLE_EQ(ReadNumber(c.text), c.value) << '"' << c.text << '"';
}

// Exact values (bit for bit) where the number is read in place and where it
// must be spelled out without its blanks: long mantissas, D exponents,
// saturating exponents, signs, zeros.
struct ExactCase {
  const char* name;
  std::string text;
  double value;
};

class ReadNumberExact : public ::testing::TestWithParam<ExactCase> {};

TEST_P(ReadNumberExact, ReadsTheValueBitForBit) {
  const double v = ReadNumber(GetParam().text);
  const double want = GetParam().value;
  EXPECT_EQ(std::memcmp(&v, &want, sizeof v), 0) << v << " for \"" << GetParam().text << '"';
}

constexpr double kInf = std::numeric_limits<double>::infinity();
INSTANTIATE_TEST_SUITE_P(
    Tricky, ReadNumberExact,
    ::testing::Values(
        ExactCase{"Tenth", "0.1", 0.1}, ExactCase{"NegativeZero", "-0.000", -0.0},
        ExactCase{"PlusSign", "+1.5", 1.5}, ExactCase{"PlusBlankSign", "+ 1.5", 1.5},
        ExactCase{"TwentyDigits", "12345678901234567890", 12345678901234567890.0},
        ExactCase{"BlanksInside", "1 234 . 5", 1234.5},
        ExactCase{"BlankAfterExponentLetter", "1.5e 3", 1500},
        ExactCase{"BlankInExponent", "1.5E- 3", 0.0015}, ExactCase{"ExponentPlus", "1e+2", 100},
        ExactCase{"ExponentLeadingZeros", "2e0000003", 2000}, ExactCase{"LowerD", "1d2", 100},
        ExactCase{"DWithSign", "25D-1", 2.5}, ExactCase{"LetterWithoutDigits", "5E-", 5},
        ExactCase{"SecondPeriodEnds", ".5.5", 0.5}, ExactCase{"SignThenAmpersand", "-&H10", 0},
        ExactCase{"HexWithBlanks", "&H 1 F", 31}, ExactCase{"OctalLowerCase", "&o77", 63},
        ExactCase{"SevenDigitExponentSaturates", "1e1234567", kInf},
        ExactCase{"SevenDigitNegativeExponent", "1e-1234567", 0.0},
        ExactCase{"UnderflowOfANegative", "-5e-999", 0.0},
        ExactCase{"OverflowAfterLeadingZeros", "-000.001e400", -kInf},
        ExactCase{"LongFractionScaledBack", "0." + std::string(300, '0') + "1e301", 1},
        ExactCase{"LongMantissaWithBlanks", "1 " + std::string(200, '0'), 1e200},
        ExactCase{"LongMantissaDExponent", "1" + std::string(200, '0') + "D-200", 1}),
    [](const auto& info) { return std::string(info.param.name); });

// The number rule and the word scan read the line where it stands: nothing
// is allocated for a number, however it is written, nor for a line without
// parentheses (a reused buffer serves the others).
TEST(ReadNumber, AllocatesNothing) {
  std::string buffer;
  buffer.reserve(64);
  const std::string line = "N10 G01 X123456789.123456789 Y-1 234 567.891 011 F1.5D2 ; pass 2";
  const long before = gAllocations.load();
  double sum = ReadNumber("123456789.123456789") + ReadNumber("- 1 2 3 4 5 6 7 8 . 9 1 2 3 4 5") +
               ReadNumber("12345678901234567890.5D-3") + ReadNumber("&H7FFFFFFF");
  sum += static_cast<double>(WithoutComments(line, buffer).size());
  sum += static_cast<double>(WithoutComments("G01 X1 (FAST (A)) Y2", buffer).size());
  EXPECT_EQ(gAllocations.load() - before, 0);
  EXPECT_GT(sum, 0);
}

// A whole line's parse allocates nothing once the registers' texts have room:
// the words are views into the line, a line with a comment inside is cut into
// a buffer that keeps its room, and no word becomes a text of its own. The
// only text a parse makes is the result's `before`, returned by value, which
// stays within the short-string room for these lines.
TEST(ParseLinePure, AllocatesNothingPerLine) {
  const char* const lines[] = {
      "N1234567 G01 X123.4567 Y-98.7654 Z-1.2345 F250.5",
      "G02 X10.5 Y20.25 I-5.125 J3.0625 (arc (nested) with a long comment after it)",
      "X5.5 Y6.25 (same place, a comment inside the line) Z-1.5 ; and one after",
      "G81 X12.5 Y7.25 Z-1.75 R1.5 Q3 F200",
      "X20 Y30",
      "G00\tZ5.000000000000000000000000",
      "G90 G01 X1 Y2 M3 T123456789012345678901234567890",
      "M6 T2",
      "(short one)",
      "",
      "G01 X1E999",
  };
  TestRig r;
  Registers regs;
  for (const char* line : lines) ParseLine(line, ScaleValues{}, r.ms, regs);  // the texts grow
  const long before = gAllocations.load();
  long bad = 0;
  for (int pass = 0; pass < 3; ++pass) {
    for (const char* line : lines) {
      const std::string_view text(line);
      bad += !ParseLine(text, ScaleValues{1, 2, 2, 1}, r.ms, regs).ok;
    }
  }
  EXPECT_EQ(gAllocations.load() - before, 0);
  EXPECT_EQ(bad, 3);  // "X1E999" is not finite
}

TEST(ReadNumber, ExponentOnlyDirectlyAfterTheDigits) {
  // A blank before E or D ends the number: "Y10 D1" is 10, and a stray E word
  // from a printer program never multiplies the coordinate before it.
  EXPECT_DOUBLE_EQ(ReadNumber("10 D1"), 10);
  EXPECT_DOUBLE_EQ(ReadNumber("1 E5"), 1);
  EXPECT_DOUBLE_EQ(ReadNumber("10\tE5"), 10);
  EXPECT_DOUBLE_EQ(ReadNumber("10E5"), 1e6);
}

TEST(ReadNumber, OverflowIsAnInfinityNotAnError) {
  EXPECT_EQ(ReadNumber("1E999"), std::numeric_limits<double>::infinity());
  EXPECT_EQ(ReadNumber("-1E999"), -std::numeric_limits<double>::infinity());
  EXPECT_EQ(ReadNumber("1E99999999999999999999"), std::numeric_limits<double>::infinity());
  EXPECT_EQ(ReadNumber(std::string(400, '9')), std::numeric_limits<double>::infinity());
}

// A period is the decimal point whatever the process locale says.
struct CommaPoint : std::numpunct<char> {
  char do_decimal_point() const override { return ','; }
};

TEST(ReadNumber, PeriodIsTheDecimalPointInAnyLocale) {
  const std::locale old = std::locale::global(std::locale(std::locale::classic(), new CommaPoint));
  const char* cOld = std::setlocale(LC_NUMERIC, nullptr);
  const std::string saved = cOld ? cOld : "C";
  for (const char* name : {"de_DE.UTF-8", "de_DE", "fr_FR.UTF-8"})
    if (std::setlocale(LC_NUMERIC, name)) break;
  EXPECT_DOUBLE_EQ(ReadNumber("1.5"), 1.5);
  EXPECT_DOUBLE_EQ(ReadNumber("1,5"), 1);
  EXPECT_EQ(NumberText(37.5), "37.5");
  std::setlocale(LC_NUMERIC, saved.c_str());
  std::locale::global(old);
}

TEST(NumberText, PlainTextWithoutTrailingZeros) {
  EXPECT_EQ(NumberText(150), "150");
  EXPECT_EQ(NumberText(37.5), "37.5");
  EXPECT_EQ(NumberText(0.1 * 3), "0.3");
  EXPECT_EQ(NumberText(0), "0");
  EXPECT_EQ(NumberText(-0.0), "0");
  EXPECT_EQ(NumberText(-12.25), "-12.25");
  EXPECT_EQ(NumberText(1234567.125), "1234567.125");
}

// ---- Words and modal registers ----------------------------------------------

TEST(ParseLine, TakesEveryWordOfAFullLine) {
  TestRig r;
  Parse(r, "N10 G01 X10 Y-5 Z-1 F200");
  EXPECT_EQ(r.ms.MotionWord, "G01");
  EXPECT_DOUBLE_EQ(r.ms.TargetX, 10);
  EXPECT_DOUBLE_EQ(r.ms.TargetY, -5);
  EXPECT_DOUBLE_EQ(r.ms.TargetZ, -1);
  EXPECT_DOUBLE_EQ(r.ms.ProgramFeed, 200);
  EXPECT_EQ(r.win.programFeedText, "200");
  EXPECT_EQ(r.ms.ZWord, "-1 ");      // word texts keep their blanks
  EXPECT_EQ(r.ms.LineText, "N10 ");  // what stood before the first word
}

TEST(ParseLine, BlanksBetweenWordsAreOptional) {
  TestRig a, b;
  Parse(a, "G01X10Y5");
  Parse(b, "G01 X10 Y5");
  EXPECT_EQ(a.ms.MotionWord, b.ms.MotionWord);
  EXPECT_EQ(a.ms.TargetX, b.ms.TargetX);
  EXPECT_EQ(a.ms.TargetY, b.ms.TargetY);
}

TEST(ParseLine, RegistersAreModal) {
  TestRig r;
  Parse(r, "G01 X10 Y5 Z-1 F200");
  Parse(r, "X20");
  EXPECT_EQ(r.ms.MotionWord, "G01");
  EXPECT_DOUBLE_EQ(r.ms.TargetX, 20);
  EXPECT_DOUBLE_EQ(r.ms.TargetY, 5);
  EXPECT_DOUBLE_EQ(r.ms.TargetZ, -1);
  EXPECT_DOUBLE_EQ(r.ms.ProgramFeed, 200);
  EXPECT_DOUBLE_EQ(r.ms.LineStartX, 10);  // the previous line's end point
  EXPECT_DOUBLE_EQ(r.ms.LineStartY, 5);
  EXPECT_DOUBLE_EQ(r.ms.LineStartZ, -1);
}

TEST(ParseLine, StartOfLineResets) {
  TestRig r;
  Parse(r, "G01 X3 M3");
  EXPECT_DOUBLE_EQ(r.ms.MCode, 3);
  r.ms.StopRequested = true;
  r.ms.DrillCycleActive = true;
  r.ms.DiagonalFactor = 0.707;
  Parse(r, "Y2");
  EXPECT_DOUBLE_EQ(r.ms.MCode, 0);  // not modal
  EXPECT_FALSE(r.ms.StopRequested);
  EXPECT_FALSE(r.ms.DrillCycleActive);
  EXPECT_DOUBLE_EQ(r.ms.DiagonalFactor, 1);
}

TEST(ParseLine, OnlyTheFirstOccurrenceOfALetterCounts) {
  TestRig r;
  Parse(r, "G01 X1 X2");
  EXPECT_DOUBLE_EQ(r.ms.TargetX, 1);
  Parse(r, "G90 G01 X5");  // the second G is inside the first G's text
  EXPECT_EQ(r.ms.MotionWord, "G90 G01");
}

TEST(ParseLine, AnEmptyWordTextReadsZero) {
  TestRig r;
  Parse(r, "G01 X7 Y7");
  Parse(r, "X Y-");
  EXPECT_DOUBLE_EQ(r.ms.TargetX, 0);
  EXPECT_DOUBLE_EQ(r.ms.TargetY, 0);
}

TEST(ParseLine, TheAWordIsTakenButUsedForNothing) {
  TestRig r;
  Parse(r, "G01 X1 A5 Y2");
  EXPECT_DOUBLE_EQ(r.ms.TargetX, 1);
  EXPECT_DOUBLE_EQ(r.ms.TargetY, 2);
}

TEST(ParseLine, QRAndTKeepTheirTexts) {
  TestRig r;
  Parse(r, "G81 X1 Y2 Z-3 R2 Q3");
  EXPECT_EQ(r.ms.RWord, "2 ");
  EXPECT_EQ(r.ms.QWord, "3");
  Parse(r, "M6 T12");
  EXPECT_EQ(r.ms.TWord, "12");
}

// ---- Skipped lines --------------------------------------------------------------

TEST(ParseLine, SkippedLinesChangeNothingButTheResets) {
  const char* skipped[] = {"(COMMENT)", "%", "/G01 X5", "   ", "", "; note", "1234 X5", "  (X9)  "};
  for (const char* line : skipped) {
    TestRig r;
    Parse(r, "G01 X10 Y5 F200 M3");
    r.win.feedText = "untouched";
    r.ms.StopRequested = true;
    Parse(r, line);
    EXPECT_EQ(r.ms.MotionWord, "G01") << line;
    EXPECT_DOUBLE_EQ(r.ms.TargetX, 10) << line;
    EXPECT_DOUBLE_EQ(r.ms.ProgramFeed, 200) << line;
    EXPECT_EQ(r.win.feedText, "untouched") << line;  // SetFeed not run
    EXPECT_DOUBLE_EQ(r.ms.MCode, 0) << line;
    EXPECT_FALSE(r.ms.StopRequested) << line;
    EXPECT_DOUBLE_EQ(r.ms.LineStartX, 10) << line;
    EXPECT_FALSE(ArcRequested(r.ms) || DrillRequested(r.ms)) << line;
  }
}

TEST(ParseLine, LowerCaseLettersAreNotWordsButTheLineIsRead) {
  TestRig r;
  Parse(r, "G01 X10 F200");
  r.win.feedText = "untouched";
  Parse(r, "g01 x20");
  EXPECT_DOUBLE_EQ(r.ms.TargetX, 10);
  EXPECT_EQ(r.win.feedText, "200");  // SetFeed ran
}

// ---- Scale factors ---------------------------------------------------------------

TEST(ParseLine, ScaleFactorsApplyToTheirWords) {
  TestRig r;
  r.win.scale[0] = 0.5;  // F
  r.win.scale[1] = 2;    // X and I
  r.win.scale[2] = 3;    // Y and J
  r.win.scale[3] = 4;    // Z
  Parse(r, "G01 X3 Y1 Z-1 I1 J2 F100");
  EXPECT_DOUBLE_EQ(r.ms.TargetX, 6);
  EXPECT_DOUBLE_EQ(r.ms.ArcI, 2);
  EXPECT_DOUBLE_EQ(r.ms.TargetY, 3);
  EXPECT_DOUBLE_EQ(r.ms.ArcJ, 6);
  EXPECT_DOUBLE_EQ(r.ms.TargetZ, -4);
  EXPECT_DOUBLE_EQ(r.ms.ProgramFeed, 50);
  EXPECT_EQ(r.win.programFeedText, "50");
}

TEST(ParseLine, ScaleFactorsAreReadAtEveryLineNotCached) {
  TestRig r;
  Parse(r, "G01 X3");
  EXPECT_DOUBLE_EQ(r.ms.TargetX, 3);
  r.win.scale[1] = 10;  // edited in the dialog without "Ok"
  Parse(r, "X3");
  EXPECT_DOUBLE_EQ(r.ms.TargetX, 30);
}

// ---- Pecks ---------------------------------------------------------------------

TEST(ParseLine, PecksAreAtLeastOneAndRefilledAtEveryLine) {
  struct {
    const char* line;
    const char* qword;
    double pecks;
  } cases[] = {
      {"G81 X5 Y5 Z-3 R2", "1", 1},
      {"G81 X5 Y5 Z-3 R2 Q0.5", "1", 1},
      {"G81 X5 Y5 Z-3 R2 Q3", "3", 3},
      {"G81 X5 Y5 Z-3 R2 Q2.5", "2.5", 2.5},
  };
  for (const auto& c : cases) {
    TestRig r;
    Parse(r, c.line);
    EXPECT_EQ(r.ms.QWord, c.qword) << c.line;
    EXPECT_DOUBLE_EQ(r.ms.PecksLeft, c.pecks) << c.line;
  }
  TestRig r;
  Parse(r, "G81 X5 Y5 Z-3 R2 Q3");
  r.ms.PecksLeft = 0;  // a cycle used them up
  Parse(r, "X10");
  EXPECT_DOUBLE_EQ(r.ms.PecksLeft, 3);
}

// ---- Arc without centre --------------------------------------------------------

TEST(ParseLine, ArcWithoutCentreBecomesAFeedMoveLongAndShortWords) {
  for (const char* word : {"G02", "G03", "G2", "G3"}) {
    TestRig r;
    Parse(r, std::string(word) + " X10 Y0 I0 J0");
    EXPECT_EQ(r.ms.MotionWord, "G01") << word;
  }
  TestRig r;
  Parse(r, "G01 I5");  // I from an earlier line is a centre for a later arc
  Parse(r, "G02 X10 Y0");
  EXPECT_EQ(r.ms.MotionWord, "G02");
}

// ---- Tool change -----------------------------------------------------------------

TEST(ParseLine, ToolChangeOnM6UnlessOnlyPlotting) {
  TestRig r;
  Parse(r, "M6 T2");
  ASSERT_EQ(r.win.messages.size(), 1u);
  EXPECT_EQ(r.win.messages[0].text, "Change to tool #2");
  EXPECT_EQ(r.win.messages[0].title, msg::kAppTitle);
  EXPECT_TRUE(r.ms.StepMode);

  TestRig loading;  // the parse alone, as the drawing and the preview read a line
  ParseLine("M6 T2", ScaleValues{}, loading.ms, loading.ms);
  EXPECT_TRUE(loading.win.messages.empty());
  EXPECT_FALSE(loading.ms.StepMode);

  TestRig other;
  Parse(other, "M3 T2");
  EXPECT_TRUE(other.win.messages.empty());
}

// ---- Feed set-up at the end of every parsed line ----------------------------

TEST(ParseLine, SetFeedEndsEveryParsedLine) {
  TestRig r;
  r.UniformAxes(0.01, 500);
  r.ms.RefAxis = 1;
  Parse(r, "G01 F120");
  EXPECT_DOUBLE_EQ(r.ms.FeedNow, 120);
  EXPECT_DOUBLE_EQ(r.ms.StepRate, 200);
  EXPECT_EQ(r.win.feedText, "120");
}

// ---- Mend: comments inside a line ----------------------------------------------

TEST(ParseLineComments, TextInParenthesesAndAfterSemicolonIsNoWord) {
  TestRig r;
  Parse(r, "G01 X1 F100");
  Parse(r, "G00 (rapid)");
  EXPECT_EQ(r.ms.MotionWord, "G00");
  Parse(r, "X10 (FAST)");
  EXPECT_DOUBLE_EQ(r.ms.TargetX, 10);
  EXPECT_DOUBLE_EQ(r.ms.ProgramFeed, 100);  // no F word in the comment
  EXPECT_FALSE(r.ms.LineWords.T || r.ms.LineWords.F);
  Parse(r, "G01 X5 ; FEED Y9 F1");
  EXPECT_DOUBLE_EQ(r.ms.TargetX, 5);
  EXPECT_DOUBLE_EQ(r.ms.TargetY, 0);
  EXPECT_DOUBLE_EQ(r.ms.ProgramFeed, 100);
  Parse(r, "X(move)7 (unclosed Y8");
  EXPECT_DOUBLE_EQ(r.ms.TargetX, 7);
  EXPECT_DOUBLE_EQ(r.ms.TargetY, 0);
  Parse(r, "(COMMENT) G01 X9");  // the whole-line skip rule is unchanged
  EXPECT_DOUBLE_EQ(r.ms.TargetX, 7);
}

// A "(" inside a comment opens a nested one: the comment ends only at the
// ")" that closes the outermost "(", so no word inside it is ever taken.
TEST(ParseLineComments, ParenthesesNestSoNoWordIsTakenFromInsideAComment) {
  const struct {
    const char* line;
    double x, y;
  } cases[] = {
      {"G01 X2 (CUT (ROUGH) AT F300) Y1", 2, 1},
      {"G01 X3 (A (B (C) F5) D) Y4", 3, 4},
      {"X5 (a) Y6 (b F7)", 5, 6},      // two comments stay two
      {"X8 (A (B) F9 Y9", 8, 0},       // not closed: runs to the line's end
      {"X1 (A (B) F9 Y9) (F3", 1, 0},  // the second comment is not closed either
  };
  for (const auto& c : cases) {
    TestRig r;
    Parse(r, "G01 F100");
    Parse(r, c.line);
    EXPECT_DOUBLE_EQ(r.ms.TargetX, c.x) << c.line;
    EXPECT_DOUBLE_EQ(r.ms.TargetY, c.y) << c.line;
    EXPECT_DOUBLE_EQ(r.ms.ProgramFeed, 100) << c.line;
    EXPECT_FALSE(r.ms.LineWords.F) << c.line;
  }
}

// ---- Mend: words out of order ----------------------------------------------------

TEST(ParseLineWordOrder, EachWordRunsToTheNearestWordLetterOnItsRight) {
  TestRig r;
  Parse(r, "T2 M6");
  EXPECT_EQ(r.ms.TWord, "2 ");
  EXPECT_DOUBLE_EQ(r.ms.MCode, 6);
  ASSERT_EQ(r.win.messages.size(), 1u);
  EXPECT_EQ(r.win.messages[0].text.rfind("Change to tool #2", 0), 0u);

  TestRig s;
  Parse(s, "G01 X1 Y2 M3");
  EXPECT_EQ(s.ms.MotionWord, "G01");
  EXPECT_DOUBLE_EQ(s.ms.TargetX, 1);
  EXPECT_DOUBLE_EQ(s.ms.TargetY, 2);
  EXPECT_DOUBLE_EQ(s.ms.MCode, 3);

  TestRig t;
  Parse(t, "F150 Y2 X1 G1 Z-1");
  EXPECT_DOUBLE_EQ(t.ms.ProgramFeed, 150);
  EXPECT_DOUBLE_EQ(t.ms.TargetX, 1);
  EXPECT_DOUBLE_EQ(t.ms.TargetY, 2);
  EXPECT_DOUBLE_EQ(t.ms.TargetZ, -1);
  EXPECT_EQ(t.ms.MotionWord, "G1");
}

// ---- Mend: tabs count as blanks --------------------------------------------------

TEST(ParseLineTabs, TabIndentedLineIsReadAndMotionWordTrimmed) {
  TestRig r;
  Parse(r, "\tG01 X5\t");
  EXPECT_EQ(r.ms.MotionWord, "G01");
  EXPECT_DOUBLE_EQ(r.ms.TargetX, 5);
  Parse(r, "G00\tX1");
  EXPECT_EQ(r.ms.MotionWord, "G00");
  Parse(r, "G01 \t X2");
  EXPECT_EQ(r.ms.MotionWord, "G01");
}

// ---- Mend: exponents only directly after digits -----------------------------------

TEST(ParseLineExponent, StrayExponentLettersNeverScaleACoordinate) {
  TestRig r;
  Parse(r, "G01 Y10 D1");
  EXPECT_DOUBLE_EQ(r.ms.TargetY, 10);
  Parse(r, "G1 X10 E5");
  EXPECT_DOUBLE_EQ(r.ms.TargetX, 10);
  Parse(r, "X1.5E1");
  EXPECT_DOUBLE_EQ(r.ms.TargetX, 15);
}

// ---- Mends: bad numbers and counts -------------------------------------------------

TEST(ParseLineBad, NonFiniteNumberMarksTheLineAndNoRegisterTakesAValue) {
  TestRig r;
  Parse(r, "G00 X3 Y4 F100");
  Parse(r, "G01 X1E999 Y2 F50");
  EXPECT_TRUE(r.ms.LineBad);
  EXPECT_EQ(r.ms.LineBadReason, "X1E999: not a finite number");
  EXPECT_DOUBLE_EQ(r.ms.TargetX, 3);
  EXPECT_DOUBLE_EQ(r.ms.TargetY, 4);  // the good words of the line are not taken either
  EXPECT_DOUBLE_EQ(r.ms.ProgramFeed, 100);
  EXPECT_EQ(r.ms.MotionWord, "G00");
  EXPECT_FALSE(ArcRequested(r.ms) || DrillRequested(r.ms));
  Parse(r, "X5");  // the next good line clears the mark
  EXPECT_FALSE(r.ms.LineBad);
  EXPECT_TRUE(r.ms.LineBadReason.empty());
  EXPECT_DOUBLE_EQ(r.ms.TargetX, 5);
}

TEST(ParseLineBad, EveryNumericWordIsChecked) {
  const struct {
    const char* line;
    const char* reason;
  } cases[] = {
      {"F1E999", "F1E999: not a finite number"},
      {"G02 I-1E400", "I-1E400: not a finite number"},
      {"J1D999", "J1D999: not a finite number"},
      {"Z1E999", "Z1E999: not a finite number"},
      {"G81 R1E999", "R1E999: not a finite number"},
      {"Q1E999", "Q1E999: not a finite number"},
      {"M1E999", "M1E999: not a finite number"},
  };
  for (const auto& c : cases) {
    TestRig r;
    Parse(r, c.line);
    EXPECT_TRUE(r.ms.LineBad) << c.line;
    EXPECT_EQ(r.ms.LineBadReason, c.reason) << c.line;
    EXPECT_DOUBLE_EQ(r.ms.ProgramFeed, 0) << c.line;
    EXPECT_DOUBLE_EQ(r.ms.TargetZ, 0) << c.line;
    EXPECT_DOUBLE_EQ(r.ms.ArcI, 0) << c.line;
    EXPECT_TRUE(r.ms.RWord.empty()) << c.line;
    EXPECT_EQ(r.ms.QWord, "1") << c.line;  // the pecks rule still holds
  }
}

TEST(ParseLineBad, ScaledValueThatOverflowsIsNotFinite) {
  TestRig r;
  r.win.scale[1] = 1e10;
  Parse(r, "X1E300");
  EXPECT_TRUE(r.ms.LineBad);
  EXPECT_DOUBLE_EQ(r.ms.TargetX, 0);
}

TEST(ParseLineBad, MoreThan2To31StepsOrTenThousandPecksIsRefused) {
  TestRig r;
  r.UniformAxes(0.01, 500);
  Parse(r, "G01 X3E7");  // 3e9 steps
  EXPECT_TRUE(r.ms.LineBad);
  EXPECT_EQ(r.ms.LineBadReason, std::string("X3E7") + msg::kTooManySteps);
  EXPECT_DOUBLE_EQ(r.ms.TargetX, 0);
  Parse(r, "G01 X2E7");  // 2e9 steps: within the limit
  EXPECT_FALSE(r.ms.LineBad);
  Parse(r, "G81 Z-1 R1 Q20000");
  EXPECT_TRUE(r.ms.LineBad);
  EXPECT_EQ(r.ms.LineBadReason, std::string("Q20000") + msg::kTooManyPecks);
  EXPECT_EQ(r.ms.QWord, "1");
  Parse(r, "G81 Z-1 R1 Q10000");
  EXPECT_FALSE(r.ms.LineBad);
  EXPECT_DOUBLE_EQ(r.ms.PecksLeft, 10000);
}

TEST(ParseLineBad, ABadLineMakesNoToolChange) {
  TestRig r;
  Parse(r, "M6 T2 X1E999");
  EXPECT_TRUE(r.ms.LineBad);
  EXPECT_TRUE(r.win.messages.empty());
  EXPECT_FALSE(r.ms.StepMode);
}

// ---- Mend: what the line carried ---------------------------------------------------

TEST(ParseLineWords, LineWordsRecordTheWordsOfTheLastParsedLine) {
  TestRig r;
  Parse(r, "G02 X1 Y2 Z3 I4 J5 R6 F7 Q8 M9 T1");
  const auto& w = r.ms.LineWords;
  EXPECT_TRUE(w.G && w.X && w.Y && w.Z && w.I && w.J && w.R && w.F && w.Q && w.M && w.T);
  Parse(r, "M3");
  EXPECT_TRUE(w.M);
  EXPECT_FALSE(w.G || w.X || w.Y || w.Z || w.I || w.J || w.R || w.F || w.Q || w.T);
  Parse(r, "(comment)");
  EXPECT_FALSE(w.M);
}

}  // namespace
}  // namespace brimo::test

namespace brimo::test {
namespace {

// ---- The parse alone: a result value, no effect beyond the registers -----------------

TEST(ParseLinePure, ResultValueAndNoEffectBeyondTheRegisters) {
  const struct {
    const char* line;
    bool ok, skipped, feedWord, toolChange;
    const char* before;
  } rows[] = {
      {"N10 G01 X1 F200", true, false, true, false, "N10 "},
      {"M6 T2", true, false, false, true, ""},
      {"  (a comment) X1", true, true, false, false, "(a comment) X1"},
      {"G01 X1E999 F5 M6", false, false, false, false, ""},
  };
  for (const auto& row : rows) {
    TestRig r;
    r.ms.StopRequested = true;
    r.ms.DiagonalFactor = 0.707;
    Registers regs;
    const LineResult result = ParseLine(row.line, ScaleValues{2, 1, 1, 1}, r.ms, regs);
    EXPECT_EQ(result.ok, row.ok) << row.line;
    EXPECT_EQ(result.skipped, row.skipped) << row.line;
    EXPECT_EQ(result.feedWord, row.feedWord) << row.line;
    EXPECT_EQ(result.toolChange, row.toolChange) << row.line;
    EXPECT_EQ(result.before, row.before) << row.line;
    EXPECT_EQ(regs.LineBad, !row.ok) << row.line;
    if (row.feedWord) {
      EXPECT_EQ(regs.ProgramFeed, 400) << row.line;  // scaled by its factor
    }
    // Neither the machine nor the window saw anything of it.
    EXPECT_TRUE(r.ms.StopRequested);
    EXPECT_EQ(r.ms.DiagonalFactor, 0.707);
    EXPECT_FALSE(r.ms.StepMode);
    EXPECT_TRUE(r.win.messages.empty());
    EXPECT_EQ(r.win.feedText, "");
    EXPECT_EQ(r.win.programFeedText, "");
    EXPECT_EQ(r.ms.TargetX, 0);
  }
}

}  // namespace
}  // namespace brimo::test
