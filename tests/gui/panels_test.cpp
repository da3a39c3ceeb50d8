// The run, preview, jog, home, override and coordinate controls pressed for
// real in the headless window.
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>

#include "core/machine/config_file.h"
#include "core/machine/machine_state.h"
#include "core/machine/messages.h"
#include "core/machine/settings_form.h"
#include "core/program/program_store.h"
#include "core/sim/program_check.h"
#include "core/sim/sim_engine.h"
#include "gui/console/run_time_estimator.h"
#include "gui/gui_fixture.h"

namespace brimo::gui::test {
namespace {

class PanelsTest : public WindowTest {
 public:
  QString ReadOut(const char* name) { return Find<QLabel>(name)->text(); }
  void Click(const char* name) {
    QTest::mouseClick(Find<QAbstractButton>(name), Qt::LeftButton);
    WaitForMotion();
  }
  int DoneMessages() const {
    int n = 0;
    for (const auto& m : messages_) n += m.text == msg::kDone;
    return n;
  }
};

TEST_F(PanelsTest, ASampleProgramRunsOfflineThroughTheRealButtons) {
  Start();
  ASSERT_TRUE(Main().OpenProgramFile(SampleProgram("contour.txt")));
  Click("Command4_3");  // the run panel
  Click("Command7");    // "Execute Program"
  EXPECT_EQ(DoneMessages(), 1);
  // The contour ends with G00 Z5 then G00 X0 Y0.
  EXPECT_EQ(ReadOut("PrgOutlbl_0"), "0.0000");
  EXPECT_EQ(ReadOut("PrgOutlbl_1"), "0.0000");
  EXPECT_EQ(ReadOut("PrgOutlbl_2"), "5.0025");  // whole steps of 0.0075
  EXPECT_EQ(ReadOut("MachOutLl_2"), "5.0025");
  EXPECT_FALSE(Find<QPushButton>("Command7")->isEnabled());
  EXPECT_FALSE(app_->ms().Running);
}

TEST_F(PanelsTest, HeadlessSimulationEndsWhereTheWindowRunEnds) {
  Start();
  ASSERT_TRUE(Main().OpenProgramFile(SampleProgram("pocket.txt")));
  SimulationOptions options;
  options.rows = false;
  const SimulationTotals sim = Simulate(app_->store(), app_->ms(), options);
  Click("Command7");
  ASSERT_EQ(DoneMessages(), 1);
  ASSERT_TRUE(sim.finished);
  const MachineState& ms = app_->ms();
  EXPECT_DOUBLE_EQ(sim.prg[0], ms.PrgX);
  EXPECT_DOUBLE_EQ(sim.prg[1], ms.PrgY);
  EXPECT_DOUBLE_EQ(sim.prg[2], ms.PrgZ);
  EXPECT_DOUBLE_EQ(sim.mach[0], ms.MachX);
}

TEST_F(PanelsTest, StepModeAndResetProgram) {
  Start();
  ASSERT_TRUE(Main().OpenProgramFile(WriteFile("p.txt", "G01 X1 F600\nX2\nX3\n")));
  Click("Option2");
  Click("Command7");
  EXPECT_EQ(ReadOut("PrgOutlbl_0"), "0.9975");  // 0.0075 per step: 133 steps
  EXPECT_EQ(Find<QLineEdit>("Text4")->text(), "G01 X1 F600");
  app_->window().SetAnswerSink([](const std::string&) { return true; });
  Click("Command10");  // "Reset Program", answered Yes
  EXPECT_EQ(ReadOut("PrgOutlbl_0"), "0.0000");
  EXPECT_EQ(ReadOut("MachOutLl_0"), "0.9975");
  EXPECT_EQ(app_->ms().CurrentLine, 0);
}

TEST_F(PanelsTest, PreviewStepsAndMovesToTheEndOfALine) {
  Start();
  ASSERT_TRUE(Main().OpenProgramFile(WriteFile("p.txt", "G00 X3 Y0\nG01 X3 Y3 Z-1 F600\nX0\n")));
  Click("Command4_0");
  Click("StepFwd_0");
  Click("StepFwd_0");
  EXPECT_EQ(Find<QLineEdit>("Text1")->text(), "G01 X3 Y3 Z-1 F600");
  EXPECT_EQ(ReadOut("PrgOutlbl_0"), "0.0000");  // the preview moves nothing
  Click("Command5");
  EXPECT_EQ(ReadOut("PrgOutlbl_0"), "3.0000");
  EXPECT_EQ(ReadOut("PrgOutlbl_2"), "-0.9975");
  EXPECT_TRUE(Find<QGroupBox>("Frame1_3")->isVisible());  // the run panel is shown
  Click("Command7");
  EXPECT_EQ(ReadOut("PrgOutlbl_0"), "0.0000");
  EXPECT_EQ(ReadOut("PrgOutlbl_1"), "3.0000");
}

TEST_F(PanelsTest, JogButtonsStepAndMoveWhileHeld) {
  Start();
  Click("Command4_1");
  Click("Option1_3");  // "Step"
  QTest::mouseClick(Find<QPushButton>("JogZ_4"), Qt::LeftButton);
  WaitForMotion();
  EXPECT_EQ(ReadOut("PrgOutlbl_0"), "0.0075");
  Click("Option1_0");  // "Fast": the release is queued, seen after the first pulse
  QPushButton* zUp = Find<QPushButton>("JogZ_6");
  const QPoint centre = zUp->rect().center();
  QCoreApplication::postEvent(
      zUp, new QMouseEvent(QEvent::MouseButtonRelease, centre, zUp->mapToGlobal(centre),
                           Qt::LeftButton, Qt::NoButton, Qt::NoModifier));
  QTest::mousePress(zUp, Qt::LeftButton, {}, centre);
  WaitForMotion();
  EXPECT_GT(app_->ms().PrgZ, 0);
  EXPECT_EQ(Find<QLineEdit>("Text2")->text(), "500");
  EXPECT_FALSE(app_->ms().Running);
}

TEST_F(PanelsTest, HomeToProgramZeroAndZeroButtons) {
  Start();
  app_->ms().PrgX = 1.5, app_->ms().MachX = 2.5;
  Click("Command4_4");
  Click("Option4_1");  // "Using Program Zero"
  Click("Command9");
  EXPECT_EQ(ReadOut("PrgOutlbl_0"), "0.0000");
  EXPECT_EQ(ReadOut("MachOutLl_0"), "1.0000");
  Click("Command12");  // machine "Zero"
  EXPECT_EQ(ReadOut("MachOutLl_0"), "0.0000");
  app_->ms().PrgY = 4;
  Click("ZeroPrg");
  EXPECT_EQ(ReadOut("PrgOutlbl_1"), "0.0000");
}

TEST_F(PanelsTest, FasterSlowerAndTypedOverride) {
  Start();
  auto* overide = Find<QComboBox>("Overide");
  Find<QLineEdit>("Text3")->setText("150");
  Click("Command8_1");  // "Slower"
  EXPECT_EQ(overide->currentText(), "98");
  EXPECT_EQ(app_->window().OverridePercent(), 98);
  Click("Command8_0");
  Click("Command8_0");
  EXPECT_EQ(overide->currentText(), "102");
  overide->setEditText("abc");
  emit overide->lineEdit()->editingFinished();
  EXPECT_EQ(overide->currentText(), "102");  // refused: back to the last valid value
  EXPECT_EQ(app_->window().OverridePercent(), 102);
}

// Typed text is taken as typed (no completion from the list) and only on
// Enter or on leaving the box: the feed display stays put while typing.
// Text that is not 2..500 is refused with a message; the last value stays.
TEST_F(PanelsTest, ATypedOverrideIsTakenAsTypedOnEnterOrLeavingTheBox) {
  Start();
  auto* overide = Find<QComboBox>("Overide");
  QLineEdit* edit = overide->lineEdit();
  auto* feed = Find<QLineEdit>("Text2");
  Main().activateWindow();
  overide->setFocus();
  const struct {
    const char* typed;
    bool enter;  // false: the box loses the focus instead
    double percent;
    bool refused;
  } rows[] = {{"50", true, 50, false},  {"10", true, 10, false},  {"3", true, 3, false},
              {"2", true, 2, false},    {"abc", true, 2, true},   {"600", true, 2, true},
              {"40", false, 40, false}, {"1000", false, 40, true}};
  for (const auto& row : rows) {
    messages_.clear();
    const double before = app_->window().OverridePercent();
    edit->selectAll();
    const QString feedBefore = feed->text();
    QTest::keyClicks(edit, row.typed);
    EXPECT_EQ(edit->text().toStdString(), row.typed);  // nothing completed
    EXPECT_EQ(feed->text(), feedBefore) << row.typed;
    EXPECT_EQ(app_->window().OverridePercent(), before) << row.typed;
    if (row.enter) {
      QTest::keyClick(edit, Qt::Key_Return);
    } else {
      QFocusEvent out(QEvent::FocusOut, Qt::TabFocusReason);
      QCoreApplication::sendEvent(overide, &out);
    }
    EXPECT_EQ(app_->window().OverridePercent(), row.percent) << row.typed;
    EXPECT_EQ(messages_.size(), row.refused ? 1u : 0u) << row.typed;
    EXPECT_EQ(overide->currentText().toDouble(), row.percent) << row.typed;
  }
}

// "Fast", next to "Offline": unticked at every start. Unticked, an offline
// run takes its time on the clock (133 steps 7.5 ms apart); ticked, none.
TEST_F(PanelsTest, TheFastBoxStartsUntickedAndDecidesWhetherAnOfflineRunTakesItsTime) {
  Start();
  auto* fast = Find<QCheckBox>("Check3");
  ASSERT_NE(fast, nullptr);
  EXPECT_FALSE(fast->isChecked());
  EXPECT_FALSE(app_->ms().OfflineFast);
  const auto clickFast = [&] {
    QTest::mouseClick(fast, Qt::LeftButton, {}, QPoint(6, fast->height() / 2));
  };
  const QString program = WriteFile("p.txt", "G01 X1 F60\n");
  Click("Command4_3");  // the run panel
  for (bool ticked : {false, true}) {
    if (ticked) clickFast();
    EXPECT_EQ(app_->ms().OfflineFast, ticked);
    ASSERT_TRUE(Main().OpenProgramFile(program));
    const int64_t before = clock_.Now();
    Click("Command7");
    EXPECT_EQ(ReadOut("PrgOutlbl_0"), "0.9975") << ticked;
    EXPECT_NEAR(static_cast<double>(clock_.Now() - before) / 1e7, ticked ? 0 : 0.9975, 0.01)
        << ticked;
  }
}

TEST_F(PanelsTest, LoadShowsTheEstimatedRunTimeAndTheCheckListsFindings) {
  Start();
  ASSERT_TRUE(
      Main().OpenProgramFile(WriteFile("p.txt", "G01 X0.75 F0.75\nG90\nX2 Y2\nG81 X1 Y1 Z-1\n")));
  QLabel* runTime = Find<QLabel>("RunTime");
  for (int i = 0; i < 500 && runTime->text().isEmpty(); ++i) QTest::qWait(10);
  // The same figure as the headless simulation of the loaded program.
  const double scale[4] = {1, 1, 1, 1};
  const double seconds = EstimateRunSeconds(app_->store(), app_->ms(), 100, scale);
  EXPECT_GT(seconds, 60);  // X0.75 alone: 100 steps at 0.75/60/0.0075 steps/s
  EXPECT_EQ(runTime->text(), "Run time: " + RunTimeText(seconds));
  EXPECT_FALSE(app_->ms().Running);

  messages_.clear();
  Main().findChild<QAction*>("Mnu_Check")->trigger();
  EXPECT_TRUE(messages_.empty());
  auto* report = Main().findChild<QDialog*>("CheckReport");
  ASSERT_NE(report, nullptr);
  EXPECT_TRUE(report->isVisible());
  EXPECT_EQ(report->windowTitle().toStdString(), msg::kCheckTitle);
  const std::string text =
      report->findChild<QPlainTextEdit*>("CheckText")->toPlainText().toStdString();
  EXPECT_NE(text.find("Line 3:"), std::string::npos);  // X2 Y2 under G90
  EXPECT_NE(text.find("Line 4:"), std::string::npos);  // drilling without R
  EXPECT_EQ(text.find("Line 1:"), std::string::npos);
}

// Motion running online holds the estimate: a worker started meanwhile
// sleeps before its first line and reports nothing until the motion ends;
// then it reports the figure of an estimate never held. Offline motion does
// not hold it. No clock is read: the test waits for the worker to be asleep.
TEST(RunTimeEstimator, YieldsWhileMotionRunsOnlineAndResumesAfterwards) {
  MachineState ms;
  SettingsForm form;
  ASSERT_TRUE(ApplyFormSettings(ms, form, "0").ok);
  ProgramStore program;
  for (const char* line : {"G01 X20 Y5 F300", "G02 X30 Y5 I5 J0", "G83 X1 Y1 Z-2 R1 Q2"})
    program.Append(line);
  const double scale[4] = {1, 1, 1, 1};
  const double unheld = EstimateRunSeconds(program, ms, 100, scale);

  RunTimeEstimator estimator;
  std::vector<double> reported;
  QObject::connect(
      &estimator, &RunTimeEstimator::Estimated,
      [&](double seconds, const std::vector<Finding>&) { reported.push_back(seconds); });
  auto settle = [] {
    for (int i = 0; i < 20; ++i) QCoreApplication::processEvents();
  };

  estimator.HoldForMotion(true);
  estimator.Start(program, ms, 100, scale);
  // Asleep at the gate, or (not held) already reported.
  while (estimator.HeldWorkers() != 1 && reported.empty()) QCoreApplication::processEvents();
  settle();
  EXPECT_TRUE(reported.empty());
  EXPECT_EQ(estimator.HeldWorkers(), 1);  // still asleep: no progress
  estimator.ReleaseAfterMotion();
  while (reported.empty()) QCoreApplication::processEvents();
  EXPECT_EQ(reported, std::vector<double>{unheld});

  estimator.HoldForMotion(false);  // offline: the estimate goes on
  estimator.Start(program, ms, 100, scale);
  while (reported.size() < 2) QCoreApplication::processEvents();
  EXPECT_EQ(reported.back(), unheld);
  estimator.ReleaseAfterMotion();

  // Cancelled while held: the worker wakes and ends; nothing is reported.
  estimator.HoldForMotion(true);
  estimator.Start(program, ms, 100, scale);
  while (estimator.HeldWorkers() != 1 && reported.size() < 3) QCoreApplication::processEvents();
  estimator.Cancel();
  while (estimator.HeldWorkers() != 0) QCoreApplication::processEvents();
  settle();
  EXPECT_EQ(reported.size(), 2u);
}

TEST(RunTimeText, HoursMinutesSecondsRoundedUp) {
  EXPECT_EQ(RunTimeText(0).toStdString(), "0:00:00");
  EXPECT_EQ(RunTimeText(0.2).toStdString(), "0:00:01");
  EXPECT_EQ(RunTimeText(3723).toStdString(), "1:02:03");
}

}  // namespace
}  // namespace brimo::gui::test
