// QuietWindow: a window that draws nothing, shows nothing and answers at
// once (Yes/No questions with No). For running the core without a screen:
// the headless simulation and the benchmarks derive from it and override
// what they need to see.
#pragma once

#include "core/machine/window.h"

namespace brimo {

class QuietWindow : public Window {
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
  void ShowStatus(const std::string&) override {}
  void Message(const std::string&, const std::string&) override {}
  bool AskYesNo(const std::string&, const std::string&) override { return false; }
  double OverridePercent() override { return 100; }
  double ScaleFactor(int) override { return 1; }
  bool DisplayUpdatesOff() override { return true; }

 private:
  Rgb fore_ = kBlack;
  int pen_ = 1;
};

}  // namespace brimo
