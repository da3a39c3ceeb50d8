// The main window: start-up, layout rule, controls and their captions,
// panel selector, key press, configuration saved on exit.
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QStatusBar>
#include <QTextStream>

#include "core/machine/config_file.h"
#include "core/plot/toolpath.h"
#include "gui/console/position_strip.h"
#include "gui_fixture.h"

namespace brimo::gui::test {
namespace {

QStringList ConfigLines(const QString& folder) {
  QFile f(QDir(folder).filePath("brimo.cfg"));
  if (!f.open(QIODevice::ReadOnly)) return {};
  QStringList lines = QString::fromLatin1(f.readAll()).split("\r\n");
  if (!lines.isEmpty() && lines.last().isEmpty()) lines.removeLast();
  return lines;
}

// ---- Start-up -------------------------------------------------------------------------------

TEST_F(WindowTest, StartupWritesADefaultConfigurationIntoTheProgramFolder) {
  ASSERT_FALSE(QFile::exists(QDir(dir_.path()).filePath("brimo.cfg")));
  Start();
  EXPECT_EQ(ConfigLines(dir_.path()).size(), kConfigLines);
  EXPECT_TRUE(messages_.empty()) << messages_.front().text;
}

TEST_F(WindowTest, StartupSetsExtentsPositionsAndTheStopPenWidth) {
  app_->ms().PrgX = 4, app_->ms().MachY = 5, app_->ms().TargetX = 6;
  app_->ms().Stop.DrawWidth = 3;
  Start();
  const PlotState& plot = app_->plot();
  EXPECT_EQ(plot.PlotXMin, 0);
  EXPECT_EQ(plot.PlotYMin, 0);
  EXPECT_EQ(plot.PlotXMax, 200);
  EXPECT_EQ(plot.PlotYMax, 200);
  EXPECT_EQ(app_->ms().PrgX, 0);
  EXPECT_EQ(app_->ms().MachY, 0);
  EXPECT_EQ(app_->ms().TargetX, 0);
  EXPECT_EQ(app_->ms().Stop.DrawWidth, 1);
  EXPECT_GT(app_->ms().CounterFrequency, 0);
}

TEST_F(WindowTest, ExitSavesTheHomePanelAndTheNextStartShowsIt) {
  Start();
  Find<QComboBox>("Combo1")->setEditText("Feedrate");
  Find<QRadioButton>("Option4_2")->setChecked(true);
  Main().findChild<QAction*>("Mnu_exit")->trigger();
  EXPECT_FALSE(Main().isVisible());
  EXPECT_TRUE(ConfigLines(dir_.path()).contains("Feedrate"));

  // A second start in the same folder reads it back into the controls.
  app_ = std::make_unique<AppContext>(dir_.path(), Hardware());
  app_->window().SetMessageSink([](const std::string&, const std::string&) {});
  Start();
  EXPECT_EQ(Find<QComboBox>("Combo1")->currentText(), "Feedrate");
  EXPECT_TRUE(Find<QLineEdit>("Text6")->isEnabled());
  EXPECT_TRUE(Find<QRadioButton>("Option4_2")->isChecked());
  EXPECT_FALSE(Find<QRadioButton>("Option4_0")->isChecked());
}

// The estimate of a long program runs on: File > Open, File > Exit and the
// window's end never wait for it. Its first line is refused (a step would
// take years); the second has 2.1 billion iterations to follow one by one
// (X and Y both step on some iterations only: no closed form).
TEST_F(WindowTest, ExitReturnsWhileTheEstimateOfALongProgramRuns) {
  Start();
  const QString path = WriteFile("long.txt", "G01 X1 F1e-12\nG01 X3 Y2 Z16000000 F500\n");
  ASSERT_TRUE(Main().OpenProgramFile(path));
  ASSERT_TRUE(Main().OpenProgramFile(path));  // cancels the first estimate
  Main().findChild<QAction*>("Mnu_exit")->trigger();
  EXPECT_FALSE(Main().isVisible());
  EXPECT_TRUE(Find<QLabel>("RunTime")->text().isEmpty());  // still estimating
  app_.reset();  // the window goes away with the estimate still running
}

TEST_F(WindowTest, ClosingTheWindowSavesTheConfiguration) {
  Start();
  QFile::remove(QDir(dir_.path()).filePath("brimo.cfg"));
  Main().close();
  EXPECT_EQ(ConfigLines(dir_.path()).size(), kConfigLines);
}

// ---- Layout rule ------------------------------------------------------------------------------

TEST_F(WindowTest, TheOperatorChoosesTheHeightAndTheWidthFollowsWithASquarePlot) {
  Start();
  const Twips& t = Main().Measures();
  const int plotAllowance = t.Px(MDIForm1::kStripHeightTw) + t.Px(MDIForm1::kFrameAllowanceTw);
  const int widthOverHeight =
      t.Px(MDIForm1::kPanelWidthTw) + t.Px(MDIForm1::kPlotGapTw) - plotAllowance;  // 1475 twips
  EXPECT_NEAR(t.FromPx(widthOverHeight), 1475, t.FromPx(2));

  int previousWidth = -1, previousHeight = -1;
  for (int height : {520, 600, 450, 451}) {
    Main().resize(Main().width() + 37, height);  // the width asked for is overruled
    Settle();
    ASSERT_EQ(Main().height(), height);
    EXPECT_EQ(Main().width() - Main().height(), widthOverHeight);
    EXPECT_EQ(View().width(), View().height());
    EXPECT_EQ(View().height(), height - plotAllowance);
    if (previousHeight > 0) {
      EXPECT_EQ(Main().width() - previousWidth, height - previousHeight);
    }
    previousWidth = Main().width(), previousHeight = height;
  }
}

TEST_F(WindowTest, TheInitialWindowFollowsTheRuleFromItsInitialHeight) {
  Start();
  const Twips& t = Main().Measures();
  EXPECT_EQ(Main().height(), t.Px(MDIForm1::kInitialHeightTw));
  EXPECT_EQ(View().width(), View().height());
  EXPECT_EQ(View().width(), Main().height() - t.Px(975) - t.Px(750));
}

TEST_F(WindowTest, MinimisingAndRestoringKeepsTheRule) {
  Start();
  Main().showMinimized();
  Settle();
  Main().showNormal();
  Settle();
  EXPECT_EQ(View().width(), View().height());
}

// Whether `w` lies whole inside every container around it up to the main
// window, clear of the menu bar and the status bar.
::testing::AssertionResult WhollyShown(QWidget* w, QMainWindow& main) {
  for (QWidget* p = w; p != &main; p = p->parentWidget()) {
    QWidget* parent = p->parentWidget();
    const QRect r(w->mapTo(parent, QPoint(0, 0)), w->size());
    if (!parent->rect().contains(r))
      return ::testing::AssertionFailure() << w->objectName().toStdString() << " is cut by "
                                           << parent->objectName().toStdString();
  }
  const QRect r(w->mapTo(&main, QPoint(0, 0)), w->size());
  QWidget* bars[] = {main.menuBar(), main.statusBar()};
  for (QWidget* bar : bars) {
    if (bar->isVisible() && r.intersects(bar->geometry()))
      return ::testing::AssertionFailure()
             << w->objectName().toStdString() << " lies under " << bar->metaObject()->className();
  }
  return ::testing::AssertionSuccess();
}

TEST_F(WindowTest, AtItsMinimumSizeTheRunPanelPauseAndResetStayWhole) {
  Start();
  Main().resize(Main().width(), Main().Measures().Px(1000));  // far too small
  Settle();
  ASSERT_EQ(Main().size(), Main().minimumSize());
  QList<QWidget*> controls = Find<QWidget>("Frame1_3")->findChildren<QWidget*>();
  for (const char* name : {"Frame1_3", "Command1", "Command10", "Label7", "Text4"})
    controls << Find<QWidget>(name);
  for (QWidget* w : controls) {
    if (w->isWindow() || !w->isVisibleTo(&Main())) continue;  // the list's popup
    EXPECT_TRUE(WhollyShown(w, Main()));
  }
  // The plot stays square inside the grey area, clear of everything else.
  EXPECT_EQ(View().width(), View().height());
  EXPECT_GT(View().width(), 0);
  const QRect plot(View().mapTo(&Main(), QPoint(0, 0)), View().size());
  EXPECT_TRUE(Main().centralWidget()->geometry().contains(plot));
  EXPECT_TRUE(WhollyShown(&View(), Main()));
}

// A read-out holds -12345.6789 whole in the strip's face; a wider value is
// drawn smaller rather than cut.
TEST_F(WindowTest, PositionReadOutsShowTheirSignAndLeadingDigits) {
  Start();
  MachineState& ms = app_->ms();
  for (double v : {-12345.6789, -1234567.8901, 2.5}) {
    ms.PrgX = ms.PrgY = ms.PrgZ = ms.MachX = ms.MachY = ms.MachZ = v;
    ShowPositions(app_->core());
    for (const char* name : {"PrgOutlbl_0", "PrgOutlbl_1", "PrgOutlbl_2", "MachOutLl_0",
                             "MachOutLl_1", "MachOutLl_2"}) {
      auto* readOut = Find<QLabel>(name);
      EXPECT_EQ(readOut->text().toDouble(), v) << name;
      EXPECT_GE(readOut->contentsRect().width() - readOut->indent(),
                readOut->fontMetrics().horizontalAdvance(readOut->text()))
          << name << " " << v;
      if (v > -1e6) {
        EXPECT_EQ(readOut->font(), Main().Strip()->font()) << name << " " << v;
      }
    }
  }
}

// ---- Controls ----------------------------------------------------------------------------------

QString Caption(QObject* o) {
  if (auto* b = qobject_cast<QAbstractButton*>(o)) return b->text();
  if (auto* l = qobject_cast<QLabel*>(o)) return l->text();
  if (auto* g = qobject_cast<QGroupBox*>(o)) return g->title();
  if (auto* e = qobject_cast<QLineEdit*>(o)) return e->text();
  if (auto* c = qobject_cast<QComboBox*>(o)) return c->currentText();
  return "<not a control>";
}

TEST_F(WindowTest, EveryControlHasItsNameAndCaption) {
  Start();
  const std::pair<const char*, const char*> controls[] = {
      {"AxisName_0", "Program X:"},
      {"AxisName_1", "Program Y:"},
      {"AxisName_2", "Program Z:"},
      {"AxisName_5", "Machine X:"},
      {"AxisName_4", "Machine Y:"},
      {"AxisName_3", "Machine Z:"},
      {"PrgOutlbl_0", "0.0000"},
      {"PrgOutlbl_1", "0.0000"},
      {"PrgOutlbl_2", "0.0000"},
      {"MachOutLl_0", "0.0000"},
      {"MachOutLl_1", "0.0000"},
      {"MachOutLl_2", "0.0000"},
      {"SetPrg", "Set"},
      {"ZeroPrg", "Zero"},
      {"Command11", "Set"},
      {"Command12", "Zero"},
      {"Command10", "Reset Program"},
      {"Command1", "Pause"},
      {"Command4_3", "Run"},
      {"Command4_4", "Home"},
      {"Command4_2", "Point"},
      {"Command4_1", "Jog"},
      {"Command4_0", "Line"},
      {"Frame1_0", "Go To end of Line"},
      {"Frame1_1", "Jogging"},
      {"Frame1_2", "Point"},
      {"Frame1_3", "Run"},
      {"Frame1_4", "Home"},
      {"Command5", "Move machine to end of line"},
      {"Text1", ""},
      {"Command6", "Step back in program"},
      {"Command3", "Reset"},
      {"StepFwd_0", "Step forward in program"},
      {"JogZ_6", "Z +"},
      {"JogZ_1", "Z -"},
      {"JogZ_4", "X +"},
      {"JogZ_2", "X -"},
      {"JogZ_3", "Y +"},
      {"JogZ_5", "Y -"},
      {"Option1_0", "Fast"},
      {"Option1_1", "Med"},
      {"Option1_2", "Slow"},
      {"Option1_3", "Step"},
      {"Command7", "Execute Program"},
      {"Option3", "Continous"},
      {"Option2", "Step"},
      {"Overide", "100"},
      {"Command8_0", "Faster"},
      {"Command8_1", "Slower"},
      {"Text2", "0"},
      {"Text3", "0"},
      {"Label3", "%Overide"},
      {"Label4", "Program Feedrate"},
      {"Check1", "Update On/Off"},
      {"Check2", "Offline"},
      {"Check3", "Fast"},
      {"Combo1", "Rapid"},
      {"Text6", "100"},
      {"Option4_0", "Using Home Switchs"},
      {"Option4_1", "Using Program Zero"},
      {"Option4_2", "Using Machine Zero"},
      {"Command9", "Home the Machine"},
      {"Label7", "Line in progress"},
      {"Text4", ""},
  };
  for (const auto& [name, caption] : controls) {
    QWidget* w = Find<QWidget>(name);
    ASSERT_NE(w, nullptr) << name;
    EXPECT_EQ(Caption(w), QString(caption)) << name;
  }
  EXPECT_EQ(Main().objectName(), "MDIForm1");
  EXPECT_EQ(Main().windowTitle(), "BrimoCNC");
  EXPECT_EQ(View().objectName(), "PathView");
  EXPECT_EQ(View().windowTitle(), "Brimo CNC");
  EXPECT_NE(Find<QWidget>("Picture1"), nullptr);
  EXPECT_NE(Find<QWidget>("Picture2"), nullptr);
  auto* timer = Main().findChild<QTimer*>("Timer1");
  ASSERT_NE(timer, nullptr);
  EXPECT_FALSE(timer->isActive());
  EXPECT_TRUE(Find<QRadioButton>("Option1_2")->isChecked());
  EXPECT_FALSE(Find<QLineEdit>("Text6")->isEnabled());
  const QStringList overrides = {"100", "200", "300", "400", "500"};
  auto* overide = Find<QComboBox>("Overide");
  ASSERT_EQ(overide->count(), 5);
  for (int i = 0; i < 5; ++i) EXPECT_EQ(overide->itemText(i), overrides[i]);
  EXPECT_TRUE(overide->isEditable());
}

TEST_F(WindowTest, MenusCarryTheirNamesAndCaptionsInOrder) {
  Start();
  const std::pair<const char*, const char*> menus[] = {{"File_Menu", "&File"},
                                                       {"Setup_Menu", "&Setup"},
                                                       {"Mnu_options", "&Options"},
                                                       {"Menu_View", "&View"},
                                                       {"Mnu_Help", "&Help"}};
  const QList<QAction*> top = Main().menuBar()->actions();
  ASSERT_EQ(top.size(), 5);
  for (int i = 0; i < 5; ++i) {
    ASSERT_NE(top[i]->menu(), nullptr);
    EXPECT_EQ(top[i]->menu()->objectName(), menus[i].first);
    EXPECT_EQ(top[i]->text(), menus[i].second);
  }
  const std::pair<const char*, const char*> items[] = {
      {"Open_Menu", "Open"},  {"Mnu_exit", "Exit"}, {"Set_menu", "Settings"},
      {"Mnu_Scale", "Scale"}, {"Mnu_Fit", "Fit"},   {"Mnu_About", "About"}};
  for (const auto& [name, caption] : items) {
    auto* action = Main().findChild<QAction*>(name);
    ASSERT_NE(action, nullptr) << name;
    EXPECT_EQ(action->text(), caption);
  }
}

// View > Fit shows with a check mark whether the extents leave out the
// whole circles of arcs.
TEST_F(WindowTest, ViewFitShowsItsStateWithACheckMark) {
  Start();
  auto* fit = Main().findChild<QAction*>("Mnu_Fit");
  ASSERT_TRUE(fit->isCheckable());
  EXPECT_FALSE(fit->isChecked());
  for (bool on : {true, false, true}) {
    fit->trigger();
    EXPECT_EQ(app_->plot().FitEndpointsOnly, on);
    EXPECT_EQ(fit->isChecked(), on);
  }
}

TEST_F(WindowTest, ThePanelSelectorShowsExactlyThePanelOfItsIndex) {
  Start();
  for (int pressed : {0, 1, 2, 3, 4, 4}) {
    QTest::mouseClick(Find<QPushButton>(qPrintable(QString("Command4_%1").arg(pressed))),
                      Qt::LeftButton);
    for (int i = 0; i < 5; ++i) {
      EXPECT_EQ(Find<QGroupBox>(qPrintable(QString("Frame1_%1").arg(i)))->isVisible(), i == pressed)
          << "pressed " << pressed << ", panel " << i;
    }
  }
}

TEST_F(WindowTest, TheStepForwardButtonArmsItsRepeatTimerWhileHeld) {
  Start();
  auto* timer = Main().findChild<QTimer*>("Timer1");
  auto* step = Find<QPushButton>("StepFwd_0");
  QTest::mouseClick(Find<QPushButton>("Command4_0"), Qt::LeftButton);
  QTest::mousePress(step, Qt::LeftButton);
  EXPECT_TRUE(timer->isActive());
  EXPECT_EQ(timer->interval(), 500);
  QTest::mouseRelease(step, Qt::LeftButton);
  EXPECT_FALSE(timer->isActive());
}

// ---- Stops --------------------------------------------------------------------------------------

TEST_F(WindowTest, AnyKeyWithACharacterCodeRequestsAStop) {
  Start();
  const std::pair<Qt::Key, bool> keys[] = {{Qt::Key_A, true},
                                           {Qt::Key_Space, true},
                                           {Qt::Key_Escape, true},
                                           {Qt::Key_Return, true},
                                           {Qt::Key_Shift, false}};
  for (const auto& [key, stops] : keys) {
    app_->ms().StopRequested = false;
    QTest::keyClick(&View(), key);
    EXPECT_EQ(app_->ms().StopRequested, stops) << key;
  }
}

TEST_F(WindowTest, JogKeysMoveWhileHeld) {
  Start();
  struct Row {
    Qt::Key key;
    int axis;
    double sign;
  } rows[] = {{Qt::Key_Right, 0, 1}, {Qt::Key_Left, 0, -1},  {Qt::Key_Up, 1, 1},
              {Qt::Key_Down, 1, -1}, {Qt::Key_PageUp, 2, 1}, {Qt::Key_PageDown, 2, -1}};
  for (const auto& row : rows) {
    MachineState& ms = app_->ms();
    const double before[3] = {ms.PrgX, ms.PrgY, ms.PrgZ};
    // The release is already queued: the jog loop sees it in its event pump
    // after its first pulse, as it would see the operator let go.
    QCoreApplication::postEvent(&View(),
                                new QKeyEvent(QEvent::KeyRelease, row.key, Qt::NoModifier));
    QTest::keyPress(&View(), row.key);
    WaitForMotion();
    const double after[3] = {ms.PrgX, ms.PrgY, ms.PrgZ};
    EXPECT_GT(row.sign * (after[row.axis] - before[row.axis]), 0) << row.key;
    EXPECT_FALSE(ms.Running);
  }
  EXPECT_TRUE(messages_.empty());
}

TEST_F(WindowTest, PauseAndReFreshRequestAStop) {
  Start();
  QTest::mouseClick(Find<QPushButton>("Command1"), Qt::LeftButton);
  EXPECT_TRUE(app_->ms().StopRequested);
  app_->ms().StopRequested = false;
  Main().ReFresh();
  EXPECT_TRUE(app_->ms().StopRequested);
}

// ---- Control reads through the window port -------------------------------------------------

TEST_F(WindowTest, TheOverrideTakesOnlyTwoToFiveHundredWhenTheEditIsFinished) {
  Start();
  // Only 2..500 is taken; other text leaves the last valid value in force.
  // Text in the box is not taken before the edit is finished.
  const std::pair<const char*, double> cases[] = {
      {"100", 100},  {"150", 150}, {" 98", 98},  {"37.5", 37.5}, {"250 %", 37.5},
      {"abc", 37.5}, {"", 37.5},   {"-4", 37.5}, {"501", 37.5},  {"2", 2}};
  auto* overide = Find<QComboBox>("Overide");
  for (const auto& [text, percent] : cases) {
    const double before = app_->window().OverridePercent();
    overide->setEditText(text);
    EXPECT_EQ(app_->window().OverridePercent(), before) << text;
    emit overide->lineEdit()->editingFinished();
    EXPECT_EQ(app_->window().OverridePercent(), percent) << text;
  }
}

TEST_F(WindowTest, ScaleFactorsStartAtOneAndUpdateOnOffIsTheFirstBox) {
  Start();
  for (int i = 0; i < 4; ++i) EXPECT_EQ(app_->window().ScaleFactor(i), 1.0);
  app_->window().Scale().factorTexts[1] = "2.5";
  EXPECT_EQ(app_->window().ScaleFactor(1), 2.5);
  EXPECT_FALSE(app_->window().DisplayUpdatesOff());
  QTest::mouseClick(Find<QCheckBox>("Check1"), Qt::LeftButton, {}, QPoint(6, 10));
  EXPECT_TRUE(app_->window().DisplayUpdatesOff());
}

TEST_F(WindowTest, DisplaysWriteTheirControls) {
  Start();
  Window& win = app_->window();
  win.ShowProgramFeed("150");
  win.ShowFeed("147");
  win.ShowLineInProgress("G01 X5");
  win.ShowPreviewLine("G00 X1");
  win.SetExecuteEnabled(false);
  EXPECT_EQ(Find<QLineEdit>("Text2")->text(), "147");
  EXPECT_EQ(Find<QLineEdit>("Text3")->text(), "150");
  EXPECT_EQ(Find<QLineEdit>("Text4")->text(), "G01 X5");
  EXPECT_EQ(Find<QLineEdit>("Text1")->text(), "G00 X1");
  EXPECT_FALSE(Find<QPushButton>("Command7")->isEnabled());
  QTest::mouseClick(Find<QPushButton>("Command4_4"), Qt::LeftButton);
  win.ShowRunPanel();
  EXPECT_TRUE(Find<QGroupBox>("Frame1_3")->isVisible());
}

TEST_F(WindowTest, FeedDisplaysHeldDuringADrawingShowTheLastValueAfterwards) {
  Start();
  auto* feed = Find<QLineEdit>("Text2");
  auto* programFeed = Find<QLineEdit>("Text3");
  {
    QtWindowPort::DisplayHold hold(app_->window());
    app_->window().ShowFeed("120");
    app_->window().ShowProgramFeed("150");
    app_->window().ShowFeed("300");
    EXPECT_EQ(feed->text(), "0");
    EXPECT_EQ(programFeed->text(), "0");
  }
  EXPECT_EQ(feed->text(), "300");
  EXPECT_EQ(programFeed->text(), "150");
  app_->window().ShowFeed("75");  // no hold: at once
  EXPECT_EQ(feed->text(), "75");
}

}  // namespace
}  // namespace brimo::gui::test
