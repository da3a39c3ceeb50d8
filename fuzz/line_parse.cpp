// Fuzz target line_parse: one line on a fresh machine. The text helpers
// (words, comments, numbers) must agree with the parser, a line the parser
// marks bad must leave every register a move reads alone, and the line run
// as a one-line program (offline, work-capped) must move nothing unless the
// line is sound and must end at finite positions.
#include <cstdint>
#include <string>

#include "core/interpreter/dispatch.h"
#include "core/interpreter/parser.h"
#include "fuzz/fuzz_rig.h"

using namespace brimo;
using namespace brimo::fuzz;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 4096) return 0;
  const std::string line(reinterpret_cast<const char*>(data), size);

  // Text helpers on their own.
  for (size_t i = 0; i < line.size(); ++i) {
    if (line[i] != '(') continue;
    const size_t end = CommentEnd(line, i);
    BRIMO_FUZZ_CHECK(end > i && end <= line.size());
  }
  const std::string bare = WithoutComments(line);
  BRIMO_FUZZ_CHECK(bare.size() <= line.size());
  const auto words = WordsOfLine(line);
  if (LineIsSkipped(line)) BRIMO_FUZZ_CHECK(words.empty());
  for (const LineWord& w : words) {
    const double v = ReadNumber(w.text);
    if (!HoldsNumber(w.text)) BRIMO_FUZZ_CHECK(v == 0);
  }

  // The parser on a fresh machine.
  {
    FuzzRig r;
    r.ms.LineText = line;
    ReadLine(r.core);
    if (r.ms.LineBad) {
      BRIMO_FUZZ_CHECK(!r.ms.LineBadReason.empty());
      BRIMO_FUZZ_CHECK(r.ms.TargetX == 0 && r.ms.TargetY == 0 && r.ms.TargetZ == 0);
    } else {
      BRIMO_FUZZ_CHECK(std::isfinite(r.ms.TargetX) && std::isfinite(r.ms.TargetY) &&
                       std::isfinite(r.ms.TargetZ));
    }
  }

  // The line as a program, run offline from line 1.
  {
    FuzzRig r;
    r.win.pulseCap = 20000;
    r.LoadProgram(line);
    bool bad = false;
    for (long i = 1; i <= r.store.LineCount; ++i) {
      FuzzRig p;
      p.ms.LineText = r.store.Entry(i);
      ReadLine(p.core);
      bad = bad || p.ms.LineBad;
    }
    Execute(r.core);
    for (int press = 0; press < 8 && !r.win.capped && r.ms.CurrentLine <= r.store.LineCount;
         ++press)
      Execute(r.core);  // after a tool change
    BRIMO_FUZZ_CHECK(r.Finite());
    if (bad && r.store.LineCount == 1) {
      // A bad line is asked about (answered No) before anything moves.
      BRIMO_FUZZ_CHECK(r.win.pumps == 0);
      BRIMO_FUZZ_CHECK(r.ms.PrgX == 0 && r.ms.PrgY == 0 && r.ms.PrgZ == 0);
    }
  }
  return 0;
}
