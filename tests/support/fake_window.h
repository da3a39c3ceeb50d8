// FakeWindow: the window interface for core tests. Records what the core
// showed and drew, answers questions from a queue, and can act inside the
// event pump (press Pause after pulse N, change the override, ...).
#pragma once

#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "core/machine/window.h"

namespace brimo::test {

class FakeWindow : public Window {
 public:
  struct Line {
    double x1, y1, x2, y2;
    Rgb colour;
    bool dashed;
  };
  struct Arc {
    double cx, cy, r, a0, a1;
    Rgb colour;
  };
  struct Dot {
    double x, y;
    Rgb colour;
    int width;
  };
  struct Shown {
    std::string text, title;
  };

  // Called from PumpEvents with the number of pumps so far (1 after the
  // first pulse of a move).
  std::function<void(long pump)> onPump;
  long pumps = 0;

  void PumpEvents() override {
    ++pumps;
    if (onPump) onPump(pumps);
  }

  void ClearPlot() override {
    ++clears;
    lines.clear();
    arcs.clear();
    labels.clear();
    dots.clear();
  }
  bool SetPlotScale(double l, double t, double r, double b) override {
    if (r == l || t == b) return false;
    left = l, top = t, right = r, bottom = b;
    return true;
  }
  double PlotWidthTwips() override { return plotWidthTwips; }
  void DrawLine(double x1, double y1, double x2, double y2, Rgb c, bool dashed) override {
    lines.push_back({x1, y1, x2, y2, c, dashed});
  }
  void DrawArc(double cx, double cy, double r, double a0, double a1, Rgb c) override {
    arcs.push_back({cx, cy, r, a0, a1, c});
  }
  void DrawLabel(double x, double y, const std::string& text) override {
    labels.push_back({x, y, text});
  }
  void PlotDot(double x, double y, Rgb c) override { dots.push_back({x, y, c, penWidth}); }
  void SetForeColour(Rgb c) override { foreColour = c; }
  Rgb ForeColour() override { return foreColour; }
  void SetPenWidth(int w) override { penWidth = w; }
  int PenWidth() override { return penWidth; }

  void ShowPositionTexts(const std::string p[3], const std::string m[3]) override {
    for (int i = 0; i < 3; ++i) prg[i] = p[i], mach[i] = m[i];
    ++positionShows;
  }
  void ShowFeed(const std::string& t) override { feedText = t; }
  void ShowProgramFeed(const std::string& t) override { programFeedText = t; }
  void ShowLineInProgress(const std::string& t) override { lineInProgress = t; }
  void ShowPreviewLine(const std::string& t) override { previewLine = t; }
  void SetExecuteEnabled(bool e) override { executeEnabled = e; }
  void FocusPlot() override { ++focusPlots; }
  void Beep() override { ++beeps; }
  void SetBusyCursor(bool b) override { busy = b; }
  void ShowRunPanel() override { ++runPanelShows; }
  void ShowOffline(bool o) override { offlineShown = o; }
  void ShowStatus(const std::string& t) override { statusLines.push_back(t); }

  void Message(const std::string& text, const std::string& title) override {
    messages.push_back({text, title});
    if (onMessage) onMessage(text);
  }
  bool AskYesNo(const std::string& text, const std::string& title) override {
    questions.push_back({text, title});
    if (answers.empty()) return false;
    bool a = answers.front();
    answers.pop_front();
    return a;
  }

  double OverridePercent() override { return overridePercent; }
  double ScaleFactor(int i) override { return scale[i]; }
  bool DisplayUpdatesOff() override { return updatesOff; }

  // Count of messages whose text starts with `prefix`.
  int MessagesStartingWith(const std::string& prefix) const {
    int n = 0;
    for (const auto& m : messages)
      if (m.text.rfind(prefix, 0) == 0) ++n;
    return n;
  }

  // Recorded state.
  std::vector<Line> lines;
  std::vector<Arc> arcs;
  struct Label {
    double x, y;
    std::string text;
  };
  std::vector<Label> labels;
  std::vector<Dot> dots;
  std::vector<Shown> messages, questions;
  std::function<void(const std::string&)> onMessage;
  std::deque<bool> answers;
  std::string prg[3], mach[3];
  std::string feedText, programFeedText, lineInProgress, previewLine;
  std::vector<std::string> statusLines;  // message-line texts, oldest first
  double left = 0, top = 0, right = 0, bottom = 0;
  double plotWidthTwips = 6000;
  Rgb foreColour = kBlack;
  int penWidth = 1;
  bool executeEnabled = true, busy = false, updatesOff = false, offlineShown = false;
  int clears = 0, positionShows = 0, focusPlots = 0, beeps = 0, runPanelShows = 0;
  double overridePercent = 100;
  double scale[4] = {1, 1, 1, 1};
};

}  // namespace brimo::test
