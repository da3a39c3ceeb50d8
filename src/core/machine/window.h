// Window: the core's one narrow road to the operator's screen. The core never
// opens a dialog or touches a widget; it calls these functions. The Qt main
// window implements them; tests implement them with a fake that records what
// was shown and can act inside PumpEvents (press Pause after pulse N, ...).
//
// Plot coordinates are program coordinates (length units); angles are radians
// counter-clockwise from +X. Every function is called on the one UI thread.
#pragma once

#include <cstdint>
#include <string>

namespace brimo {

struct Rgb {
  uint8_t r = 0, g = 0, b = 0;
  friend bool operator==(Rgb a, Rgb b) { return a.r == b.r && a.g == b.g && a.b == b.b; }
};

inline constexpr Rgb kBlack{0, 0, 0};
inline constexpr Rgb kBrightGreen{0, 255, 0};    // palette 10: rapids, drilling approach
inline constexpr Rgb kBrightRed{255, 0, 0};      // palette 12: preview end mark
inline constexpr Rgb kLightGrey{192, 192, 192};  // palette 7: grid

class Window {
 public:
  virtual ~Window() = default;

  // ---- Event pump ---------------------------------------------------------
  // Processes pending window events. Handlers run nested inside the caller
  // and talk to it only through MachineState flags (StopRequested, ...).
  virtual void PumpEvents() = 0;

  // ---- Plot surface (PathView) -------------------------------------------
  virtual void ClearPlot() = 0;
  // Sets the user scale: upper-left corner (left, top), lower-right
  // (right, bottom). Returns false when the view has no size (nothing may be
  // drawn then); the previous scale stays in force.
  virtual bool SetPlotScale(double left, double top, double right, double bottom) = 0;
  // Outer width of the plot window in twips (1/1440 inch).
  virtual double PlotWidthTwips() = 0;
  virtual void DrawLine(double x1, double y1, double x2, double y2, Rgb colour, bool dashed) = 0;
  // Circle arc about (cx, cy) of radius r running counter-clockwise from
  // angle a0 to angle a1 (both in [0, 2*pi)).
  virtual void DrawArc(double cx, double cy, double r, double a0, double a1, Rgb colour) = 0;
  // Text whose top-left stands at (x, y).
  virtual void DrawLabel(double x, double y, const std::string& text) = 0;
  // One dot at (x, y) in the given colour, as large as the pen width.
  virtual void PlotDot(double x, double y, Rgb colour) = 0;
  virtual void SetForeColour(Rgb colour) = 0;
  virtual Rgb ForeColour() = 0;
  virtual void SetPenWidth(int pixels) = 0;
  virtual int PenWidth() = 0;

  // ---- Displays -------------------------------------------------------------
  // Six read-outs, already formatted ("0.0000").
  virtual void ShowPositionTexts(const std::string prg[3], const std::string mach[3]) = 0;
  virtual void ShowFeed(const std::string& text) = 0;            // effective feed (Text2)
  virtual void ShowProgramFeed(const std::string& text) = 0;     // programmed feed (Text3)
  virtual void ShowLineInProgress(const std::string& text) = 0;  // Text4
  virtual void ShowPreviewLine(const std::string& text) = 0;     // Text1 of the line panel
  virtual void SetExecuteEnabled(bool enabled) = 0;              // Command7
  virtual void FocusPlot() = 0;
  virtual void Beep() = 0;
  virtual void SetBusyCursor(bool busy) = 0;
  virtual void ShowRunPanel() = 0;
  // The offline flag changed without the operator's tick (no port could be
  // opened): the "Offline" box must show the true state.
  virtual void ShowOffline(bool offline) = 0;
  // One line in the window's message line (status bar), replacing the last;
  // for what the operator should read but need not answer.
  virtual void ShowStatus(const std::string& text) = 0;

  // ---- Messages (modal; return when the operator has answered) -------------
  virtual void Message(const std::string& text, const std::string& title) = 0;
  virtual bool AskYesNo(const std::string& text, const std::string& title) = 0;

  // ---- Control reads ----------------------------------------------------------
  // Override percentage in force (the window keeps only valid values).
  virtual double OverridePercent() = 0;
  // Scale factor i: 0 feed, 1 X and I, 2 Y and J, 3 Z. Read at every word.
  virtual double ScaleFactor(int index) = 0;
  // "Update On/Off" ticked: the run loop does not refresh displays per line.
  virtual bool DisplayUpdatesOff() = 0;
};

}  // namespace brimo
