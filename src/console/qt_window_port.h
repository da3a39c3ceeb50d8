// QtWindowPort: the core's window interface (brimo::Window) on the Qt main
// window. Each function forwards to one widget: the plot surface to
// PathView, the read-outs to the bottom strip, feed and line texts and the
// control reads to the run panel. Created before the window it serves and
// attached to it once the window exists.
#pragma once

#include <functional>
#include <string>

#include "dialogs/scale_factors.h"
#include "machine/window.h"

namespace brimo::gui {

class MDIForm1;

class QtWindowPort final : public Window {
 public:
  // Connects to the window's controls; called once, right after the window
  // is built.
  void Attach(MDIForm1* window);

  // Tests: receive messages instead of showing a modal box.
  using MessageSink = std::function<void(const std::string& text, const std::string& title)>;
  void SetMessageSink(MessageSink sink) { messageSink_ = std::move(sink); }
  // Tests: answer Yes/No questions without a modal box.
  void SetAnswerSink(std::function<bool(const std::string&)> sink) {
    answerSink_ = std::move(sink);
  }

  // While a hold lives, ShowFeed and ShowProgramFeed only remember their
  // text; the last one is shown when the hold ends. A drawing pass parses
  // every line (two feed displays each) without pumping events, so nobody
  // can see or read the values in between; a million text-box updates would
  // cost more than the drawing itself.
  class DisplayHold {
   public:
    explicit DisplayHold(QtWindowPort& port) : port_(port) { ++port_.holds_; }
    ~DisplayHold() {
      if (--port_.holds_ == 0) port_.ShowHeldDisplays();
    }
    DisplayHold(const DisplayHold&) = delete;
    DisplayHold& operator=(const DisplayHold&) = delete;

   private:
    QtWindowPort& port_;
  };

  // The scale factors (0 feed, 1 X and I, 2 Y and J, 3 Z) as the scale
  // dialog holds them; the parser reads them at every word.
  ScaleFactors& Scale() { return scale_; }

  void PumpEvents() override;

  void ClearPlot() override;
  bool SetPlotScale(double left, double top, double right, double bottom) override;
  double PlotWidthTwips() override;
  void DrawLine(double x1, double y1, double x2, double y2, Rgb colour, bool dashed) override;
  void DrawArc(double cx, double cy, double r, double a0, double a1, Rgb colour) override;
  void DrawLabel(double x, double y, const std::string& text) override;
  void PlotDot(double x, double y, Rgb colour) override;
  void SetForeColour(Rgb colour) override;
  Rgb ForeColour() override;
  void SetPenWidth(int pixels) override;
  int PenWidth() override;

  void ShowPositionTexts(const std::string prg[3], const std::string mach[3]) override;
  void ShowFeed(const std::string& text) override;
  void ShowProgramFeed(const std::string& text) override;
  void ShowLineInProgress(const std::string& text) override;
  void ShowPreviewLine(const std::string& text) override;
  void SetExecuteEnabled(bool enabled) override;
  void FocusPlot() override;
  void Beep() override;
  void SetBusyCursor(bool busy) override;
  void ShowRunPanel() override;
  void ShowOffline(bool offline) override;
  void ShowStatus(const std::string& text) override;

  void Message(const std::string& text, const std::string& title) override;
  bool AskYesNo(const std::string& text, const std::string& title) override;

  double OverridePercent() override;
  double ScaleFactor(int index) override;
  bool DisplayUpdatesOff() override;

 private:
  void ShowHeldDisplays();

  MDIForm1* w_ = nullptr;
  int holds_ = 0;
  bool feedHeld_ = false, programFeedHeld_ = false;
  std::string heldFeed_, heldProgramFeed_;
  ScaleFactors scale_;  // not saved: 1 at every start
  bool busy_ = false;
  MessageSink messageSink_;
  std::function<bool(const std::string&)> answerSink_;
};

}  // namespace brimo::gui
