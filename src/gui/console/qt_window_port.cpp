#include "gui/console/qt_window_port.h"

#include <QApplication>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QMessageBox>
#include <algorithm>
#include <charconv>
#include <cmath>

#include "gui/console/control_panel.h"
#include "gui/console/main_window.h"
#include "gui/console/motion_thread.h"
#include "gui/console/position_strip.h"
#include "gui/plot/path_view.h"

namespace brimo::gui {

QtWindowPort::QtWindowPort() {
  frameTimer_ = new QTimer(&context_);
  frameTimer_->setInterval(16);  // up to 60 frames a second
  QObject::connect(frameTimer_, &QTimer::timeout, &context_, [this] { ShowFrame(); });
}

QtWindowPort::~QtWindowPort() = default;

void QtWindowPort::Attach(MDIForm1* window) { w_ = window; }

bool QtWindowPort::OnMotion() const { return motion_ && motion_->OnMotionThread(); }

// ---- Motion jobs (window thread) ----------------------------------------------------

void QtWindowPort::KeepControlValuesCurrent() {
  for (int i = 0; i < 4; ++i) motionScale_[i].store(scale_.Factor(i));
  motionUpdatesOff_.store(w_->Panel()->Run()->Check1()->isChecked());
  motionPlotTwips_.store(w_->View()->WidthTwips());
  motionPlotSized_.store(w_->View()->width() > 0 && w_->View()->height() > 0);
}

void QtWindowPort::StartMotion(std::function<void()> job) {
  if (!motion_) return job();
  if (!motion_->Busy()) BeginMotion();
  motion_->Start(std::move(job));
}

void QtWindowPort::CallCore(std::function<void()> handler) {
  if (!motion_) return handler();
  motion_->Call(std::move(handler));
}

void QtWindowPort::OnWindowThread(std::function<void()> f) {
  if (!OnMotion()) return f();
  std::lock_guard lock(windowCallsMutex_);
  windowCalls_.push_back(std::move(f));
}

bool QtWindowPort::MotionBusy() const { return motion_ && motion_->Busy(); }

void QtWindowPort::BeginMotion() {
  if (begin_) begin_();
  Flush();
  // Read by the motion thread only; the job starts after these writes
  // (MotionThread::Start takes a lock the job's thread takes too).
  motionColour_ = ToRgb(w_->View()->ForeColour());
  motionPen_ = w_->View()->PenWidth();
  shownColour_ = motionColour_;
  shownPen_ = motionPen_;
  motionBegun_ = true;
  motionOverride_.store(w_->Panel()->Run()->OverridePercent());
  KeepControlValuesCurrent();
  frameTimer_->start();
}

void QtWindowPort::EndMotion() {
  frameTimer_->stop();
  Flush();
  if (motionBegun_) {
    // The motion's last colour and pen stay in force, as they did when the
    // core drew on this thread.
    motionBegun_ = false;
    w_->View()->SetForeColour(ToQColor(shownColour_));
    w_->View()->SetPenWidth(shownPen_);
  }
  std::vector<std::function<void()>> calls;
  {
    std::lock_guard lock(windowCallsMutex_);
    calls.swap(windowCalls_);
  }
  for (auto& f : calls) f();
}

void QtWindowPort::ShowFrame() {
  Flush();
  ShowQuestions();
  std::vector<std::function<void()>> calls;
  {
    std::lock_guard lock(windowCallsMutex_);
    calls.swap(windowCalls_);
  }
  for (auto& f : calls) f();
  if (!frameTimer_->isActive()) return;
  if (motion_ && motion_->Busy()) return KeepControlValuesCurrent();
  // The job ended (Busy() took the motion thread's lock: all it wrote is
  // visible now).
  EndMotion();
  if (ended_) ended_();
}

void QtWindowPort::Flush() {
  ApplyPlotCalls();
  // A plain load first: a drawing pass calls this before each of its
  // million plot calls, with nothing pending.
  if (!anyPending_.load(std::memory_order_acquire) || !anyPending_.exchange(false)) return;
  Pending p;
  {
    std::lock_guard lock(pendingMutex_);
    std::swap(p, pending_);
  }
  ++frames_;
  if (p.positions) w_->Strip()->SetPositionTexts(p.prg, p.mach);
  if (p.programFeed) ShowProgramFeed(p.programFeedText);
  if (p.feed) ShowFeed(p.feedText);
  if (p.line) w_->Panel()->Text4()->setText(QString::fromStdString(p.lineText));
  if (p.preview) ShowPreviewLine(p.previewText);
  if (p.status) ShowStatus(p.statusText);
  if (p.execute) SetExecuteEnabled(p.executeOn);
  if (p.offline) ShowOffline(p.offlineOn);
  if (p.busy) SetBusyCursor(p.busyOn);
  if (p.runPanel) ShowRunPanel();
  if (p.focus) FocusPlot();
  for (int i = 0; i < p.beeps && i < 3; ++i) Beep();
}

void QtWindowPort::Queue(const PlotCall& call) {
  const size_t head = head_.load(std::memory_order_relaxed);
  if (head - tail_.load(std::memory_order_acquire) >= kRing) {
    // The window thread has not drawn for a second or more: the drawing
    // loses calls, the machine loses nothing.
    dropped_.fetch_add(1, std::memory_order_relaxed);
    return;
  }
  ring_[head % kRing] = call;
  head_.store(head + 1, std::memory_order_release);
}

void QtWindowPort::ApplyPlotCalls() {
  const size_t head = head_.load(std::memory_order_acquire);
  size_t tail = tail_.load(std::memory_order_relaxed);
  if (tail == head) return;
  PathView* view = w_->View();
  // The motion's colour and pen are its own: a redraw on this thread in the
  // middle of a run must not change colour between two of its lines.
  const QColor ownColour = view->ForeColour();
  const int ownPen = view->PenWidth();
  view->SetForeColour(ToQColor(shownColour_));
  view->SetPenWidth(shownPen_);
  for (; tail != head; ++tail) {
    const PlotCall& c = ring_[tail % kRing];
    const double* v = c.v;
    switch (c.kind) {
      case PlotCall::kDot:
        view->PlotDot(v[0], v[1], ToQColor(c.colour));
        break;
      case PlotCall::kLine:
        view->DrawLine(v[0], v[1], v[2], v[3], ToQColor(c.colour), c.dashed);
        break;
      case PlotCall::kArc:
        view->DrawArc(v[0], v[1], v[2], v[3], v[4], ToQColor(c.colour));
        break;
      case PlotCall::kLabel: {
        std::string text;
        {
          std::lock_guard lock(labelsMutex_);
          if (!labels_.empty()) text = std::move(labels_.front()), labels_.pop_front();
        }
        view->DrawLabel(v[0], v[1], QString::fromStdString(text));
        break;
      }
      case PlotCall::kClear:
        view->ClearPlot();
        break;
      case PlotCall::kScale:
        view->SetPlotScale(v[0], v[1], v[2], v[3]);
        break;
      case PlotCall::kColour:
        shownColour_ = c.colour;
        view->SetForeColour(ToQColor(c.colour));
        break;
      case PlotCall::kPen:
        view->SetPenWidth(c.pen);
        shownPen_ = view->PenWidth();
        break;
    }
    tail_.store(tail + 1, std::memory_order_release);
  }
  view->SetForeColour(ownColour);
  view->SetPenWidth(ownPen);
}

void QtWindowPort::PumpEvents() {
  if (OnMotion()) {
    if (motion_->HandlersWaiting()) motion_->RunHandlers();
    return;
  }
  QCoreApplication::processEvents();
}

// ---- Displays ------------------------------------------------------------------------------

namespace {

// Runs `set` on the pending displays under their lock and marks them.
template <class F>
void Pend(std::mutex& m, std::atomic<bool>& any, F set) {
  std::lock_guard lock(m);
  set();
  any.store(true, std::memory_order_release);
}

}  // namespace

void QtWindowPort::ShowPositionTexts(const std::string prg[3], const std::string mach[3]) {
  if (OnMotion()) {
    return Pend(pendingMutex_, anyPending_, [&] {
      for (int i = 0; i < 3; ++i) pending_.prg[i] = prg[i], pending_.mach[i] = mach[i];
      pending_.positions = true;
    });
  }
  w_->Strip()->SetPositionTexts(prg, mach);
}

void QtWindowPort::ShowFeed(const std::string& text) {
  if (OnMotion()) {
    return Pend(pendingMutex_, anyPending_,
                [&] { pending_.feedText = text, pending_.feed = true; });
  }
  if (holds_ > 0) {
    heldFeed_ = text, feedHeld_ = true;
    return;
  }
  w_->Panel()->Run()->Text2()->setText(QString::fromStdString(text));
}

void QtWindowPort::ShowProgramFeed(const std::string& text) {
  if (OnMotion()) {
    return Pend(pendingMutex_, anyPending_,
                [&] { pending_.programFeedText = text, pending_.programFeed = true; });
  }
  if (holds_ > 0) {
    heldProgramFeed_ = text, programFeedHeld_ = true;
    return;
  }
  w_->Panel()->Run()->Text3()->setText(QString::fromStdString(text));
}

void QtWindowPort::ShowHeldDisplays() {
  // The programmed feed first: its change rewrites the feed display with
  // the quick estimate, which the feed in force then replaces.
  if (programFeedHeld_) ShowProgramFeed(heldProgramFeed_);
  if (feedHeld_) ShowFeed(heldFeed_);
  feedHeld_ = programFeedHeld_ = false;
}

void QtWindowPort::ShowLineInProgress(const std::string& text) {
  if (OnMotion()) {
    return Pend(pendingMutex_, anyPending_,
                [&] { pending_.lineText = text, pending_.line = true; });
  }
  QLineEdit* box = w_->Panel()->Text4();
  box->setText(QString::fromStdString(text));
  box->repaint();
}

void QtWindowPort::ShowPreviewLine(const std::string& text) {
  if (OnMotion()) {
    return Pend(pendingMutex_, anyPending_,
                [&] { pending_.previewText = text, pending_.preview = true; });
  }
  w_->Panel()->Line()->Text1()->setText(QString::fromStdString(text));
}

void QtWindowPort::SetExecuteEnabled(bool enabled) {
  if (OnMotion()) {
    return Pend(pendingMutex_, anyPending_,
                [&] { pending_.executeOn = enabled, pending_.execute = true; });
  }
  w_->Panel()->Run()->Command7()->setEnabled(enabled);
}

void QtWindowPort::FocusPlot() {
  if (OnMotion()) return Pend(pendingMutex_, anyPending_, [&] { pending_.focus = true; });
  w_->View()->setFocus();
}

void QtWindowPort::Beep() {
  if (OnMotion()) return Pend(pendingMutex_, anyPending_, [&] { ++pending_.beeps; });
  QApplication::beep();
}

void QtWindowPort::SetBusyCursor(bool busy) {
  if (OnMotion()) {
    return Pend(pendingMutex_, anyPending_, [&] { pending_.busyOn = busy, pending_.busy = true; });
  }
  if (busy == busy_) return;
  busy_ = busy;
  if (busy) {
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
  } else {
    QGuiApplication::restoreOverrideCursor();
  }
}

void QtWindowPort::ShowRunPanel() {
  if (OnMotion()) return Pend(pendingMutex_, anyPending_, [&] { pending_.runPanel = true; });
  w_->Panel()->Command4_Click(3);
}

void QtWindowPort::ShowOffline(bool offline) {
  if (OnMotion()) {
    return Pend(pendingMutex_, anyPending_,
                [&] { pending_.offlineOn = offline, pending_.offline = true; });
  }
  w_->Panel()->Run()->Check2()->setChecked(offline);
}

void QtWindowPort::ShowStatus(const std::string& text) {
  if (OnMotion()) {
    return Pend(pendingMutex_, anyPending_,
                [&] { pending_.statusText = text, pending_.status = true; });
  }
  w_->ShowStatus(QString::fromStdString(text));
}

// ---- Messages --------------------------------------------------------------------------------

bool QtWindowPort::Ask(const std::string& text, const std::string& title, bool yesNo) {
  Question q{0, text, title, yesNo};
  std::unique_lock lock(questionMutex_);
  if (closing_) return false;
  q.id = ++nextQuestion_;
  questions_.push_back(&q);
  // The window thread shows it at its next frame.
  answered_.wait(lock, [&] { return q.answered || closing_; });
  questions_.remove(&q);
  return q.answered && q.answer;
}

void QtWindowPort::ShowQuestions() {
  struct Fresh {
    long id;
    std::string text, title;
    bool yesNo;
  };
  std::vector<Fresh> fresh;
  {
    std::lock_guard lock(questionMutex_);
    for (Question* q : questions_) {
      if (q->shown) continue;
      q->shown = true;
      fresh.push_back({q->id, q->text, q->title, q->yesNo});
    }
  }
  for (const Fresh& q : fresh) ShowQuestion(q.id, q.text, q.title, q.yesNo);
}

void QtWindowPort::ShowQuestion(long id, const std::string& text, const std::string& title,
                                bool yesNo) {
  if (yesNo && answerSink_) return Answer(id, answerSink_(text));
  if (!yesNo && messageSink_) {
    messageSink_(text, title);
    return Answer(id, true);
  }
  // Window-modal and without a nested event loop: the window thread keeps
  // drawing the frames (and can close the window) while the box is open.
  auto* box =
      yesNo ? new QMessageBox(QMessageBox::Critical, QString::fromStdString(title),
                              QString::fromStdString(text), QMessageBox::Yes | QMessageBox::No, w_)
            : new QMessageBox(QMessageBox::NoIcon, QString::fromStdString(title),
                              QString::fromStdString(text), QMessageBox::Ok, w_);
  box->setAttribute(Qt::WA_DeleteOnClose);
  box->setWindowModality(Qt::WindowModal);
  QObject::connect(box, &QMessageBox::finished, &context_, [this, id, box](int) {
    Answer(id, box->clickedButton() == box->button(QMessageBox::Yes));
  });
  box->setObjectName("MotionQuestion");
  box->open();
}

void QtWindowPort::Answer(long id, bool answer) {
  std::lock_guard lock(questionMutex_);
  for (Question* q : questions_) {
    if (q->id != id) continue;
    q->answered = true;
    q->answer = answer;
  }
  answered_.notify_all();
}

void QtWindowPort::CloseQuestions() {
  {
    std::lock_guard lock(questionMutex_);
    closing_ = true;
  }
  answered_.notify_all();
  if (!w_) return;
  for (QMessageBox* box : w_->findChildren<QMessageBox*>("MotionQuestion")) box->close();
}

void QtWindowPort::Message(const std::string& text, const std::string& title) {
  if (OnMotion()) {
    Ask(text, title, false);
    return;
  }
  if (messageSink_) {
    messageSink_(text, title);
    return;
  }
  QMessageBox box(QMessageBox::NoIcon, QString::fromStdString(title), QString::fromStdString(text),
                  QMessageBox::Ok, w_);
  box.exec();
}

bool QtWindowPort::AskYesNo(const std::string& text, const std::string& title) {
  if (OnMotion()) return Ask(text, title, true);
  if (answerSink_) return answerSink_(text);
  QMessageBox box(QMessageBox::Critical, QString::fromStdString(title),
                  QString::fromStdString(text), QMessageBox::Yes | QMessageBox::No, w_);
  return box.exec() == QMessageBox::Yes;
}

// ---- Control reads ---------------------------------------------------------------------------

double QtWindowPort::OverridePercent() {
  if (OnMotion()) return motionOverride_.load();
  return w_->Panel()->Run()->OverridePercent();
}

double QtWindowPort::ScaleFactor(int index) {
  if (index < 0 || index >= 4) return 1.0;
  if (OnMotion()) return motionScale_[index].load(std::memory_order_relaxed);
  return scale_.Factor(index);
}

bool QtWindowPort::DisplayUpdatesOff() {
  if (OnMotion()) return motionUpdatesOff_.load(std::memory_order_relaxed);
  return w_->Panel()->Run()->Check1()->isChecked();
}

}  // namespace brimo::gui
