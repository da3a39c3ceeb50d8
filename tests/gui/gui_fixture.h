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
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "console/app_context.h"
#include "console/control_panel.h"
#include "console/main_window.h"
#include "plot/path_view.h"

namespace brimo::gui::test {

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

  // Start-up without the safety agreement, offline.
  void Start(QString programFile = QString()) {
    StartOptions options;
    options.safetyDialog = false;
    options.offline = true;
    options.programFile = std::move(programFile);
    app_->Start(options);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&Main()));
    Settle();
  }

  static void Settle() {
    for (int i = 0; i < 5; ++i) QCoreApplication::processEvents();
  }

  // The virtual clock; the port stays the real one (the tests run offline).
  AppHardware Hardware() { return {&clock_, nullptr}; }

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
