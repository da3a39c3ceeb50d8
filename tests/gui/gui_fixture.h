// WindowTest: one started BrimoCNC window per test, headless (offscreen),
// with its program folder in a fresh temporary directory. Messages the
// window would show in a modal box are recorded instead. Pulses are paced on
// a virtual clock (10 MHz), so an offline run takes no real time.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <atomic>
#include <chrono>
#include <cmath>
#include <memory>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "core/machine/port.h"
#include "core/machine/pulse_clock.h"
#include "gui/console/app_context.h"
#include "gui/console/control_panel.h"
#include "gui/console/main_window.h"
#include "gui/plot/path_view.h"

namespace brimo::gui::test {

// Virtual time (1 tick = 1 ns), but every wait for a pulse also sleeps some
// real time, so a run lasts long enough for a test to act on the window
// while the motion thread moves.
class SlowClock final : public Clock {
 public:
  explicit SlowClock(std::chrono::microseconds perPulse) : perPulse_(perPulse) {}
  bool Counter(int64_t& ticks) override {
    ticks = now_.load();
    return true;
  }
  bool Frequency(int64_t& f) override {
    f = 1'000'000'000;
    return true;
  }
  // Holds the next wait for a pulse (and with it the motion thread) until
  // Release; Holding() once the thread waits there.
  void Hold() { hold_.store(true); }
  bool Holding() const { return holding_.load(); }
  void Release() { hold_.store(false); }
  void Approach(double due) override {
    while (hold_.load()) {
      holding_.store(true);
      std::this_thread::sleep_for(std::chrono::microseconds(50));
    }
    holding_.store(false);
    std::this_thread::sleep_for(perPulse_);
    const auto at = static_cast<int64_t>(std::ceil(due));
    if (at > now_.load()) now_.store(at);
  }

 private:
  std::chrono::microseconds perPulse_;
  std::atomic<int64_t> now_{0};
  std::atomic<bool> hold_{false}, holding_{false};
};

// A port that only counts, safe to read from the window thread while the
// motion thread pulses: one status read per pulse made online, one rising
// edge of `stepMask` per step of those axes.
class CountingPort final : public Port {
 public:
  void WriteData(uint8_t value) override {
    ++writes;
    const int mask = stepMask.load();
    if ((value & mask) && !(last_ & mask)) ++steps;
    last_ = value;
  }
  uint8_t ReadStatus() override {
    ++pulses;
    return 127;  // no switch active
  }
  std::atomic<long> writes{0}, pulses{0}, steps{0};
  std::atomic<int> stepMask{0};

 private:
  uint8_t last_ = 0;
};

class WindowTest : public ::testing::Test {
 protected:
  struct Shown {
    std::string text, title;
  };

  void SetUp() override {
    ASSERT_TRUE(dir_.isValid());
    app_ = std::make_unique<AppContext>(dir_.path(), Hardware());
    app_->window().SetMessageSink([this](const std::string& text, const std::string& title) {
      messages_.push_back({text, title});
    });
  }

  void TearDown() override { app_.reset(); }

  // The clock and port the window pulses through (null: the real ones):
  // here the virtual clock; the port stays the real one (the tests run
  // offline).
  virtual AppHardware Hardware() { return {&clock_, nullptr}; }

  // Start-up without the safety agreement, offline unless told.
  void Start(QString programFile = QString(), bool offline = true) {
    StartOptions options;
    options.safetyDialog = false;
    options.offline = offline;
    options.programFile = std::move(programFile);
    app_->Start(options);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&Main()));
    Settle();
  }

  static void Settle() {
    for (int i = 0; i < 5; ++i) QCoreApplication::processEvents();
  }

  // Until the motion thread is idle and its end has been shown (a run, jog
  // or home move started by a click returns at once).
  void WaitForMotion() {
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (app_->MotionBusy()) {
      ASSERT_LT(std::chrono::steady_clock::now(), until) << "the motion did not end";
      QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    Settle();
  }
  // Until `done()` holds, pumping the window's events.
  template <class F>
  void WaitUntil(F done) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (!done()) {
      ASSERT_LT(std::chrono::steady_clock::now(), until) << "waited in vain";
      QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
  }

  MDIForm1& Main() { return app_->mainWindow(); }
  PathView& View() { return *Main().View(); }

  template <class W>
  W* Find(const char* name) {
    return Main().findChild<W*>(QString::fromLatin1(name));
  }

  // Writes `text` to <program folder>/name and returns its path.
  QString WriteFile(const QString& name, const QByteArray& text) {
    const QString path = QDir(dir_.path()).filePath(name);
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(text);
    return path;
  }

  QTemporaryDir dir_;
  VirtualClock clock_;  // outlives app_
  std::unique_ptr<AppContext> app_;
  std::vector<Shown> messages_;
};

// Path of a sample program of the source tree.
inline QString SampleProgram(const char* name) {
  return QString(BRIMO_SOURCE_DIR "/gcodes/") + name;
}

}  // namespace brimo::gui::test
