// QtWindowPort: the core's window interface (brimo::Window) on the Qt main
// window. Each function forwards to one widget: the plot surface to
// PathView, the read-outs to the bottom strip, feed and line texts and the
// control reads to the run panel. Created before the window it serves and
// attached to it once the window exists.
//
// Called on the window thread, every function acts at once (start-up,
// loads, redraws, the tests that drive the core directly). Called on the
// motion thread (see motion_thread.h), nothing touches a widget:
// - plot calls go into a single-producer ring that the window thread drains
//   at up to 60 frames a second, repainting only the dots' pixels;
// - displays keep their latest text, shown at the next frame;
// - control reads answer from values the window thread keeps current;
// - Message and AskYesNo block the motion thread alone until the operator
//   answers a box the window thread shows without a nested event loop;
// - PumpEvents runs the handlers the window thread posted.
#pragma once

#include <QColor>
#include <QObject>
#include <QTimer>
#include <array>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <list>
#include <mutex>
#include <string>
#include <vector>

#include "core/forms/scale_factors.h"
#include "core/machine/core.h"
#include "core/machine/window.h"

namespace brimo::gui {

// The core's colours as Qt's and back.
inline QColor ToQColor(Rgb c) { return QColor(c.r, c.g, c.b); }
inline Rgb ToRgb(QColor c) {
  return Rgb{static_cast<uint8_t>(c.red()), static_cast<uint8_t>(c.green()),
             static_cast<uint8_t>(c.blue())};
}

class MDIForm1;
class MotionThread;

class QtWindowPort final : public Window {
 public:
  QtWindowPort();
  ~QtWindowPort() override;
  // Connects to the window's controls; called once, right after the window
  // is built.
  void Attach(MDIForm1* window);
  // The thread whose calls are buffered (see above).
  void AttachMotion(MotionThread* motion) { motion_ = motion; }

  // ---- Window thread: handing work to the core ----------------------------
  // Starts a job that moves the machine on the motion thread (inline when no
  // motion thread is attached). While a job runs it is posted nested, where
  // the core refuses it as a second motion.
  void StartMotion(std::function<void()> job);
  // Runs a handler that touches the core: now when nothing moves, else
  // nested in the running job's next event pump on the motion thread.
  void CallCore(std::function<void()> handler);
  // Runs `f` on the window thread: now when called there, else queued.
  void OnWindowThread(std::function<void()> f);
  // True while a job runs (window thread).
  bool MotionBusy() const;
  // True from BeginMotion until the frame that showed the job's end.
  bool MotionShowing() const { return frameTimer_->isActive(); }

  // ---- Window thread, around each motion job ------------------------------
  // Before the job starts: the values the motion thread reads, the frame
  // timer on.
  void BeginMotion();
  // After it ended: the last frame shown, the frame timer off.
  void EndMotion();
  // One frame: what the motion thread left in the buffers, its questions
  // and calls for the window thread; when its job has ended, the last frame
  // and the motion-ended handler (frame timer, 60 a second, while busy).
  void ShowFrame();
  // Run on the window thread just before a job starts (nothing moves yet)
  // and once it has ended and been shown.
  void SetMotionBeginHandler(std::function<void()> handler) { begin_ = std::move(handler); }
  void SetMotionEndedHandler(std::function<void()> handler) { ended_ = std::move(handler); }
  // Closing: every open or coming question is answered No (a message: Ok)
  // at once, so the motion thread can end.
  void CloseQuestions();
  // The override the motion thread reads (window thread, before posting the
  // handler that takes it).
  void SetOverrideForMotion(double percent) { motionOverride_.store(percent); }
  // Frames shown since start-up, and plot calls a full ring had to drop.
  long Frames() const { return frames_; }
  long DroppedPlotCalls() const { return dropped_.load(); }

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
  // dialog holds them; the run reads them once per line.
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
  bool OnMotion() const;
  // `colour` as the view takes it; a drawing pass gives the same one or two
  // colours a million times, so the last conversion is kept (window thread).
  const QColor& ViewColour(Rgb colour);
  Rgb viewRgb_;
  QColor viewColour_{0, 0, 0};
  // The plot calls and displays the motion thread left: before every direct
  // call, so what the window thread draws lands on top of them.
  void Flush();
  // Takes current values of the window's controls for the motion thread.
  void KeepControlValuesCurrent();

  // One plot call, as the motion thread made it.
  struct PlotCall {
    enum Kind : uint8_t { kDot, kLine, kArc, kLabel, kClear, kScale, kColour, kPen } kind;
    bool dashed = false;
    Rgb colour;
    int pen = 1;
    double v[5] = {0, 0, 0, 0, 0};
  };
  void Queue(const PlotCall& call);
  void ApplyPlotCalls();

  // Single producer (motion thread), single consumer (window thread).
  static constexpr size_t kRing = 1 << 16;
  std::array<PlotCall, kRing> ring_;
  std::atomic<size_t> head_{0}, tail_{0};
  std::atomic<long> dropped_{0};
  std::mutex labelsMutex_;
  std::deque<std::string> labels_;  // texts of the kLabel calls, in order

  // Latest displays and window actions of the motion thread.
  struct Pending {
    bool positions = false, feed = false, programFeed = false, line = false, preview = false,
         status = false, execute = false, offline = false, busy = false;
    std::string prg[3], mach[3], feedText, programFeedText, lineText, previewText, statusText;
    bool executeOn = false, offlineOn = false, busyOn = false;
    int beeps = 0;
    bool focus = false, runPanel = false;
  };
  std::mutex pendingMutex_;
  Pending pending_;
  std::atomic<bool> anyPending_{false};

  // Values the motion thread reads.
  Rgb motionColour_;
  int motionPen_ = 1;
  // The colour and pen of the motion's calls as last drawn (window thread).
  Rgb shownColour_;
  int shownPen_ = 1;
  bool motionBegun_ = false;  // BeginMotion without its EndMotion yet
  std::atomic<double> motionOverride_{100};
  std::atomic<double> motionScale_[4] = {1, 1, 1, 1};
  std::atomic<bool> motionUpdatesOff_{false};
  std::atomic<double> motionPlotTwips_{0};
  std::atomic<bool> motionPlotSized_{true};

  // Questions of the motion thread, waiting for the operator.
  struct Question {
    long id;
    std::string text, title;
    bool yesNo;
    bool shown = false, answered = false, answer = false;
  };
  bool Ask(const std::string& text, const std::string& title, bool yesNo);
  void ShowQuestions();
  void ShowQuestion(long id, const std::string& text, const std::string& title, bool yesNo);
  void Answer(long id, bool answer);
  std::mutex questionMutex_;
  std::condition_variable answered_;
  std::list<Question*> questions_;
  long nextQuestion_ = 0;
  bool closing_ = false;

  std::mutex windowCallsMutex_;
  std::vector<std::function<void()>> windowCalls_;  // OnWindowThread from the motion thread
  std::function<void()> begin_, ended_;

  MotionThread* motion_ = nullptr;
  QObject context_;  // owns the frame timer
  QTimer* frameTimer_ = nullptr;
  long frames_ = 0;

  MDIForm1* w_ = nullptr;
  int holds_ = 0;
  bool feedHeld_ = false, programFeedHeld_ = false;
  std::string heldFeed_, heldProgramFeed_;
  ScaleFactors scale_;  // not saved: 1 at every start
  bool busy_ = false;
  MessageSink messageSink_;
  std::function<bool(const std::string&)> answerSink_;
};

// The window interface of a Core built by the Qt layer (AppContext).
inline QtWindowPort& PortOf(Core& c) { return static_cast<QtWindowPort&>(c.win); }

}  // namespace brimo::gui
