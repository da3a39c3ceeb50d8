// ScaleFactors: the four multipliers of the scale dialog, modelled without a
// toolkit. Index 0 scales F, 1 X and I, 2 Y and J, 3 Z. The texts are what
// the dialog shows; the run reads the four factors as numbers once per line
// (ReadScaleFactors), so a factor edited without "Ok" already applies to the
// next parsed line (deliberate).
// Not saved: every start begins at 1.
#pragma once

#include <string>

namespace brimo {

struct Core;

struct ScaleFactors {
  std::string factorTexts[4] = {"1", "1", "1", "1"};
  // Copy taken when the dialog last became active; "Cancel" restores it.
  std::string saved[4] = {"1", "1", "1", "1"};

  // The factor in force: the field's number, or, while the field holds text
  // that is not a number, the last number it held.
  double Factor(int index);

  void TakeCopy();     // when the dialog becomes active
  void SetAllToOne();  // "Default": all "1"
  void InchesToMm();   // "Converts all from   In to mm": all 25.4
  void MmToInches();   // "Converts all from mm to In": all 1/25.4
  void RestoreCopy();  // "Cancel": the copy back
  // "Ok" may apply only numbers: false with `message` naming the first
  // field that is not one.
  bool Validate(std::string& message);

 private:
  double lastValid_[4] = {1, 1, 1, 1};
};

// After the scale dialog's "Ok": program zero where the tool stands, the
// program refitted and redrawn with the new factors, the preview reset.
// Refused (false) while motion is under way.
bool ScaleOk(Core& c);

}  // namespace brimo
