// The window while the motion thread moves the machine: stops, questions,
// Exit, redraws and refused controls, online through a counting port on a
// clock slow enough to act mid-move.
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QFileInfo>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>

#include "core/machine/messages.h"
#include "gui/gui_fixture.h"

namespace brimo::gui::test {
namespace {

constexpr double kStep = 0.0075;  // default units per step

class MotionTest : public WindowTest {
 protected:
  AppHardware Hardware() override { return {&slowClock_, &port_}; }

  // Online, a long X move under way: started with "Execute Program", at
  // least `pulses` more pulses made.
  void RunFor(long pulses) {
    const long from = port_.pulses;
    QTest::mouseClick(Find<QPushButton>("Command7"), Qt::LeftButton);
    WaitUntil([&] { return port_.pulses >= from + pulses; });
    ASSERT_TRUE(app_->MotionBusy());
  }
  void StartLong(const char* feed = "F600") {
    Start(WriteFile("long.txt", QByteArray("G01 X100 ") + feed + "\nX0\n"), false);
    port_.stepMask = app_->ms().StepMaskX;
    RunFor(20);
  }
  QMessageBox* OpenQuestion() {
    for (auto* box : Main().findChildren<QMessageBox*>("MotionQuestion"))
      if (box->isVisible()) return box;
    return nullptr;
  }

  SlowClock slowClock_{std::chrono::microseconds(200)};
  CountingPort port_;
};

// Every way the operator stops a move, pressed on the window thread while
// the motion thread waits for its next pulse: that pulse is the move's last,
// the stop record lets "Execute Program" go on, the positions match the
// pulses made.
TEST_F(MotionTest, AStopFromTheWindowEndsTheMoveAtTheNextPulse) {
  StartLong();
  struct Row {
    const char* what;
    std::function<void()> act;
  } rows[] = {
      {"Pause", [&] { QTest::mouseClick(Find<QPushButton>("Command1"), Qt::LeftButton); }},
      {"a key", [&] { QTest::keyClick(&View(), Qt::Key_A); }},
      {"a jog key", [&] { QTest::keyClick(&View(), Qt::Key_Left); }},
  };
  bool first = true;
  for (const Row& row : rows) {
    if (!first) RunFor(20);
    first = false;
    slowClock_.Hold();
    WaitUntil([&] { return slowClock_.Holding(); });
    const long before = port_.pulses;
    row.act();
    slowClock_.Release();
    WaitForMotion();
    EXPECT_EQ(port_.pulses - before, 1) << row.what;
    EXPECT_TRUE(Find<QPushButton>("Command7")->isEnabled()) << row.what;
    EXPECT_NEAR(app_->ms().PrgX, port_.steps * kStep, 1e-9) << row.what;
    EXPECT_NEAR(app_->ms().MachX, port_.steps * kStep, 1e-9) << row.what;
  }
}

// A box raised on the motion thread holds that thread alone: the window
// goes on (it shows the box), nothing pulses, and the answer lets the run end.
TEST_F(MotionTest, AMessageOnTheMotionThreadBlocksItUntilAnswered) {
  app_->window().SetMessageSink({});
  Start(WriteFile("short.txt", "G01 X0.3 F600\n"), false);
  QTest::mouseClick(Find<QPushButton>("Command7"), Qt::LeftButton);
  WaitUntil([&] { return OpenQuestion() != nullptr; });
  QMessageBox* box = OpenQuestion();
  EXPECT_EQ(box->text().toStdString(), msg::kDone);
  const long pulses = port_.pulses;
  EXPECT_EQ(pulses, 40);
  for (int i = 0; i < 10; ++i) QTest::qWait(5);
  EXPECT_TRUE(app_->MotionBusy());
  EXPECT_EQ(port_.pulses, pulses);
  QTest::mouseClick(box->button(QMessageBox::Ok), Qt::LeftButton);
  WaitForMotion();
  EXPECT_EQ(port_.pulses, pulses);
}

// File > Exit while the motion thread moves, or waits for a box: the move
// stops, the box closes, the thread is joined, and the settings are saved.
TEST_F(MotionTest, ExitDuringMotionReturns) {
  for (bool boxOpen : {false, true}) {
    SCOPED_TRACE(boxOpen ? "a box open" : "mid-move");
    app_.reset();
    QFile::remove(QDir(dir_.path()).filePath("brimo.cfg"));
    app_ = std::make_unique<AppContext>(dir_.path(), Hardware());
    if (boxOpen) {
      Start(WriteFile("short.txt", "G01 X0.3 F600\n"), false);
      QTest::mouseClick(Find<QPushButton>("Command7"), Qt::LeftButton);
      WaitUntil([&] { return OpenQuestion() != nullptr; });
    } else {
      app_->window().SetMessageSink([](const std::string&, const std::string&) {});
      StartLong();
    }
    Main().findChild<QAction*>("Mnu_exit")->trigger();
    EXPECT_FALSE(app_->MotionBusy());
    EXPECT_EQ(OpenQuestion(), nullptr);
    EXPECT_TRUE(QFileInfo::exists(QDir(dir_.path()).filePath("brimo.cfg")));
    const long pulses = port_.pulses;
    QTest::qWait(20);
    EXPECT_EQ(port_.pulses, pulses);
  }
}

// A resize and View > Fit during motion redraw the program while the
// machine moves, from a copy of its state: the move's positions are left
// alone.
TEST_F(MotionTest, AResizeDuringMotionLeavesThePositionsAlone) {
  StartLong();
  const auto drawn = [&] {  // pixels of the grid, the axes and the program
    const QImage& image = View().Image();
    long n = 0;
    for (int y = 0; y < image.height(); ++y)
      for (int x = 0; x < image.width(); ++x) n += image.pixel(x, y) != qRgb(255, 255, 255);
    return n;
  };
  Main().resize(Main().width() + 40, Main().height() + 40);
  Settle();
  WaitUntil([&] { return drawn() > 1000; });
  Main().findChild<QAction*>("Mnu_Fit")->trigger();
  RunFor(20);
  EXPECT_TRUE(app_->MotionBusy());
  EXPECT_GT(drawn(), 1000);
  QTest::mouseClick(Find<QPushButton>("Command1"), Qt::LeftButton);  // Pause
  WaitForMotion();
  EXPECT_NEAR(app_->ms().PrgX, port_.steps * kStep, 1e-9);
  EXPECT_NEAR(app_->ms().MachX, port_.steps * kStep, 1e-9);
  EXPECT_TRUE(app_->plot().FitEndpointsOnly);
  EXPECT_TRUE(Main().findChild<QAction*>("Mnu_Fit")->isChecked());
}

// Enter in the override box during a move reaches that move at its next
// pulse; the feed display follows.
TEST_F(MotionTest, ATypedOverrideReachesTheRunningMove) {
  StartLong("F200");  // below the rapid rate's cap at 100 % and at 50 %
  const auto held = [&](auto read) {
    slowClock_.Hold();
    WaitUntil([&] { return slowClock_.Holding(); });
    const auto value = read();
    slowClock_.Release();
    return value;
  };
  const double before = held([&] { return app_->ms().StepRate; });
  auto* overide = Find<QComboBox>("Overide");
  overide->setFocus();
  overide->lineEdit()->selectAll();
  QTest::keyClicks(overide->lineEdit(), "50");
  QTest::keyClick(overide->lineEdit(), Qt::Key_Return);
  RunFor(3);
  EXPECT_DOUBLE_EQ(held([&] { return app_->ms().StepRate; }), before / 2);
  Find<QPushButton>("Command1")->click();
  WaitForMotion();
  EXPECT_EQ(Find<QLineEdit>("Text2")->text(), "100");
}

// While anything moves the "Offline" box keeps its state: ticked mid-run it
// would leave the machine's position counters behind the machine.
TEST_F(MotionTest, TheOfflineBoxIsRefusedWhileAProgramRuns) {
  StartLong();
  auto* box = Find<QCheckBox>("Check2");
  ASSERT_FALSE(box->isChecked());
  QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(6, box->height() / 2));
  RunFor(5);  // still moving, online
  QTest::mouseClick(Find<QPushButton>("Command1"), Qt::LeftButton);
  WaitForMotion();
  EXPECT_FALSE(box->isChecked());
  EXPECT_FALSE(app_->ms().Offline);
  // Once nothing moves the box is free again.
  QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(6, box->height() / 2));
  EXPECT_TRUE(box->isChecked());
  EXPECT_TRUE(app_->ms().Offline);
}

}  // namespace
}  // namespace brimo::gui::test
