// Window measures. The main window's layout rule is stated in twips
// (1/1440 inch); Qt places widgets in device-independent pixels. The screen's
// logical resolution (dots per inch, X direction) converts between them.
#pragma once

#include <cmath>

namespace brimo::gui {

class Twips {
 public:
  explicit Twips(int logicalDpi) : dpi_(logicalDpi > 0 ? logicalDpi : 96) {}
  // Pixels for a length in twips (rounded to the nearest pixel).
  int Px(double twips) const { return static_cast<int>(std::lround(twips * dpi_ / 1440.0)); }
  // Twips for a length in pixels.
  double FromPx(double px) const { return px * 1440.0 / dpi_; }
  // Pixels for a length given in pixels at 96 dpi (control placement inside
  // the panels; 15 twips each).
  int D(double px96) const { return Px(px96 * 15); }
  int Dpi() const { return dpi_; }

 private:
  int dpi_;
};

}  // namespace brimo::gui
