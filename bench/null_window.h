// NullWindow: a window that shows nothing and whose event pump does nothing,
// for benchmarks of the core alone.
#pragma once

#include "machine/window.h"

namespace brimo::bench {

class NullWindow : public Window {
 public:
  void PumpEvents() override {}
  void ClearPlot() override {}
  bool SetPlotScale(double, double, double, double) override { return true; }
  double PlotWidthTwips() override { return 6000; }
  void DrawLine(double, double, double, double, Rgb, bool) override {}
  void DrawArc(double, double, double, double, double, Rgb) override {}
  void DrawLabel(double, double, const std::string&) override {}
  void PlotDot(double, double, Rgb) override {}
  void SetForeColour(Rgb c) override { fore_ = c; }
  Rgb ForeColour() override { return fore_; }
  void SetPenWidth(int w) override { pen_ = w; }
  int PenWidth() override { return pen_; }
  void ShowPositionTexts(const std::string[3], const std::string[3]) override {}
  void ShowFeed(const std::string&) override {}
  void ShowProgramFeed(const std::string&) override {}
  void ShowLineInProgress(const std::string&) override {}
  void ShowPreviewLine(const std::string&) override {}
  void SetExecuteEnabled(bool) override {}
  void FocusPlot() override {}
  void Beep() override {}
  void SetBusyCursor(bool) override {}
  void ShowRunPanel() override {}
  void ShowOffline(bool) override {}
  void Message(const std::string&, const std::string&) override { ++messages; }
  bool AskYesNo(const std::string&, const std::string&) override { return false; }
  double OverridePercent() override { return 100; }
  double ScaleFactor(int) override { return 1; }
  bool DisplayUpdatesOff() override { return true; }

  long messages = 0;

 private:
  Rgb fore_ = kBlack;
  int pen_ = 1;
};

}  // namespace brimo::bench
