// File > Open after the dialog (the OpenProgramFile seam), the command-line
// file, and the sample programs.
#include <QApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QLocale>
#include <QPlainTextEdit>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QTimer>
#include <functional>

#include "core/interpreter/run_control.h"
#include "core/machine/core.h"
#include "core/machine/messages.h"
#include "core/plot/toolpath.h"
#include "core/program/program_store.h"
#include "core/sim/sim_engine.h"
#include "gui/console/panels.h"
#include "gui_fixture.h"

namespace brimo::gui::test {
namespace {

QString Caption(const QString& path) {
  return "BrimoCNC     " + QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath());
}

TEST_F(WindowTest, OpenReadsEveryEntrySetsTheCaptionAndZeroesTheProgramPosition) {
  Start();
  const QString path = WriteFile("three.txt",
                                 "G00 X10 Y0\n"
                                 "  G01 X10 Y10 F100\n"
                                 "G01 X20,Y20\n");
  MachineState& ms = app_->ms();
  ms.PrgX = 12.5, ms.PrgY = -3, ms.PrgZ = 7;
  ms.Stop.PrgX = 1, ms.StopRequested = true, ms.ResumePending = true;

  ASSERT_TRUE(Main().OpenProgramFile(path));

  const ProgramStore& store = app_->store();
  ASSERT_EQ(store.LineCount, 4);
  EXPECT_EQ(store.Entry(1), "G00 X10 Y0");
  EXPECT_EQ(store.Entry(2), "G01 X10 Y10 F100");  // leading blanks are not part of it
  EXPECT_EQ(store.Entry(3), "G01 X20");           // a comma splits the line
  EXPECT_EQ(store.Entry(4), "Y20");
  EXPECT_EQ(Main().windowTitle(), Caption(path));
  EXPECT_EQ(ms.PrgX, 0);
  EXPECT_EQ(ms.PrgY, 0);
  EXPECT_EQ(ms.PrgZ, 0);
  EXPECT_EQ(ms.Stop.PrgX, 0);
  EXPECT_FALSE(ms.StopRequested);
  EXPECT_FALSE(ms.ResumePending);
  for (const char* name : {"PrgOutlbl_0", "PrgOutlbl_1", "PrgOutlbl_2"})
    EXPECT_EQ(Find<QLabel>(name)->text(), "0.0000") << name;
  EXPECT_FALSE(app_->plot().RefitExtents);
  EXPECT_EQ(app_->plot().PlotXMax, 20);
  EXPECT_EQ(app_->plot().PlotYMax, 20);
  EXPECT_TRUE(messages_.empty());
}

TEST_F(WindowTest, ReadOutsUseAPeriodWhateverTheLocale) {
  QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
  Start();
  app_->ms().PrgX = 12.5, app_->ms().PrgY = -3, app_->ms().MachZ = 0.00005;
  ShowPositions(app_->core());
  EXPECT_EQ(Find<QLabel>("PrgOutlbl_0")->text(), "12.5000");
  EXPECT_EQ(Find<QLabel>("PrgOutlbl_1")->text(), "-3.0000");
  EXPECT_EQ(Find<QLabel>("MachOutLl_2")->text(), "0.0001");
  QLocale::setDefault(QLocale::c());
}

TEST_F(WindowTest, AFileThatCannotBeReadIsNamedWithTheReasonAndKeepsTheProgram) {
  Start();
  const QString good = WriteFile("good.txt", "G01 X1 Y1 F10\nG01 X2\n");
  ASSERT_TRUE(Main().OpenProgramFile(good));
  const QString missing = QDir(dir_.path()).filePath("no such program.txt");

  EXPECT_FALSE(Main().OpenProgramFile(missing));

  ASSERT_EQ(messages_.size(), 1u);
  const QString text = QString::fromStdString(messages_[0].text);
  EXPECT_TRUE(text.contains(QDir::toNativeSeparators(missing))) << messages_[0].text;
  EXPECT_GT(text.size(), QDir::toNativeSeparators(missing).size() + 40) << "no reason given";
  EXPECT_EQ(app_->store().LineCount, 2);
  EXPECT_EQ(Main().windowTitle(), Caption(good));
  EXPECT_FALSE(app_->plot().RefitExtents);
}

// A cancelled or failed File > Open changes nothing: an operator who paused
// mid-program, opened the dialog and changed his mind can still resume.
TEST_F(WindowTest, ACancelledOrFailedOpenLeavesTheStoppedProgramAsItWas) {
  Start();
  const QString path = WriteFile("run.txt", "G01 X5 F300\nG01 X0\nG01 Y5\n");
  ASSERT_TRUE(Main().OpenProgramFile(path));
  MachineState& ms = app_->ms();
  // Stopped in the middle of line 2.
  ms.CurrentLine = 2;
  ms.PrgX = ms.Stop.PrgX = 2.5;
  ms.Stop.TargetX = 0;
  ms.Stop.MotionWord = "G01";
  ms.Run = RunState::kStopped;
  ms.ProgramFeed = 300;
  const MachineState before = ms;
  const std::vector<std::string> entries = app_->store().ProgramLines();
  QDir(dir_.path()).mkdir("folder");
  const QString notText = WriteFile("binary.txt", QByteArray("G01 X1\0\0\0", 9));

  const std::function<void()> attempts[] = {
      [&] {
        QTimer::singleShot(0, [] {
          auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
          if (dialog) dialog->reject();
        });
        Main().findChild<QAction*>("Open_Menu")->trigger();
      },
      [&] { EXPECT_FALSE(Main().OpenProgramFile(QDir(dir_.path()).filePath("missing.txt"))); },
      [&] { EXPECT_FALSE(Main().OpenProgramFile(QDir(dir_.path()).filePath("folder"))); },
      [&] { EXPECT_FALSE(Main().OpenProgramFile(notText)); },
  };
  int attempt = 0;
  for (const auto& open : attempts) {
    open();
    SCOPED_TRACE(attempt++);
    EXPECT_EQ(app_->store().ProgramLines(), entries);
    EXPECT_EQ(app_->store().LineCount, 3);
    EXPECT_EQ(Main().windowTitle(), Caption(path));
    EXPECT_EQ(ms.CurrentLine, before.CurrentLine);
    EXPECT_EQ(ms.PrgX, before.PrgX);
    EXPECT_EQ(ms.Stop.PrgX, before.Stop.PrgX);
    EXPECT_EQ(ms.Stop.TargetX, before.Stop.TargetX);
    EXPECT_EQ(ms.Stop.MotionWord, before.Stop.MotionWord);
    EXPECT_TRUE(ms.StopRecordFilled());
    EXPECT_EQ(ms.ProgramFeed, before.ProgramFeed);
  }
  ASSERT_EQ(messages_.size(), 3u);  // the cancel says nothing
  EXPECT_NE(messages_[2].text.find(msg::kProgramNulByte), std::string::npos) << messages_[2].text;
}

// The example: a program that ended at F250, then a program whose
// first move has no feed. The window refuses that move as the simulation
// does, because File > Open starts the registers afresh.
TEST_F(WindowTest, OpenStartsTheRegistersAfreshSoTheWindowRunsAsTheSimulation) {
  Start();
  ASSERT_TRUE(
      Main().OpenProgramFile(WriteFile("first.txt", "G02 X1 Y1 I1 J0 F250\nG81 Z-1 R2 Q3\nT4\n")));
  Execute(app_->core());
  MachineState& ms = app_->ms();
  ASSERT_EQ(ms.ProgramFeed, 250);
  const QString second = WriteFile("second.txt", "G01 X10\nG01 X20 F100\n");

  ASSERT_TRUE(Main().OpenProgramFile(second));

  const MachineState fresh;
  EXPECT_EQ(ms.ProgramFeed, fresh.ProgramFeed);
  EXPECT_EQ(ms.MotionWord, fresh.MotionWord);
  EXPECT_EQ(ms.ArcI, fresh.ArcI);
  EXPECT_EQ(ms.ArcJ, fresh.ArcJ);
  EXPECT_EQ(ms.ZWord, fresh.ZWord);
  EXPECT_EQ(ms.RWord, fresh.RWord);
  EXPECT_EQ(ms.QWord, fresh.QWord);
  EXPECT_EQ(ms.TWord, fresh.TWord);
  EXPECT_EQ(ms.FeedNow, 0);
  EXPECT_EQ(Main().Panel()->Run()->Text3()->text(), "0");
  EXPECT_EQ(Main().Panel()->Run()->Text2()->text(), "0");
  EXPECT_EQ(Main().Panel()->Text4()->text(), "");

  SimulationOptions o;
  o.rows = true;
  std::vector<SimulationRow> rows;
  ProgramStore copy = app_->store();
  Simulate(copy, ms, o, [&](const SimulationRow& r) { rows.push_back(r); });
  ASSERT_FALSE(rows.empty());
  EXPECT_TRUE(rows[0].refused);

  messages_.clear();
  Execute(app_->core());
  ASSERT_FALSE(messages_.empty());
  EXPECT_EQ(messages_.back().text, msg::kBadRate);
  EXPECT_EQ(ms.PrgX, 0);
}

// Right after a load the message line says how many lines the check finds;
// Options > Check program lists every one of them.
TEST_F(WindowTest, TheLoadSaysHowManyLinesTheCheckFindsAndTheCheckListsThemAll) {
  Start();
  // The summary comes with the run-time estimate, which runs the check too.
  auto summaryOf = [&](const QString& file, const QByteArray& text) {
    Main().StatusText()->clear();
    EXPECT_TRUE(Main().OpenProgramFile(WriteFile(file, text)));
    for (int i = 0; i < 500 && Main().StatusText()->text().isEmpty(); ++i) QTest::qWait(10);
    return Main().StatusText()->text().toStdString();
  };
  EXPECT_EQ(summaryOf("clean.txt", "G01 X1 F100\nG01 X2\n"), msg::kLoadCheckClean);
  // Hovering a menu entry (an empty status tip) does not wipe the line.
  QStatusTipEvent hover{QString()};
  QApplication::sendEvent(&Main(), &hover);
  EXPECT_EQ(Main().StatusText()->text().toStdString(), msg::kLoadCheckClean);

  QByteArray text = "G01 X1 F100\n";
  for (int i = 0; i < 45; ++i) text += "(move) G00 X" + QByteArray::number(i) + "\n";
  EXPECT_EQ(summaryOf("silent.txt", text),
            std::string(msg::kLoadCheckLines) + "45" + msg::kLoadCheckLinesEnd);
  EXPECT_TRUE(messages_.empty());

  Main().findChild<QAction*>("Mnu_Check")->trigger();
  auto* report = Main().findChild<QPlainTextEdit*>("CheckText");
  ASSERT_NE(report, nullptr);
  const QString listed = report->toPlainText();
  for (int line = 2; line <= 46; ++line)
    EXPECT_TRUE(listed.contains(QString("Line %1: ").arg(line))) << line;
  EXPECT_FALSE(listed.contains("more")) << listed.toStdString();
}

TEST_F(WindowTest, OpenIsRefusedWhileAProgramRuns) {
  Start();
  const QString first = WriteFile("first.txt", "G01 X1 Y1 F10\nG01 X2\n");
  ASSERT_TRUE(Main().OpenProgramFile(first));
  app_->ms().Running = true;

  EXPECT_FALSE(Main().OpenProgramFile(WriteFile("second.txt", "G01 X5\n")));

  app_->ms().Running = false;
  ASSERT_EQ(messages_.size(), 1u);
  EXPECT_EQ(messages_[0].text, msg::kOpenWhileRunning);
  EXPECT_EQ(app_->store().LineCount, 2);
  EXPECT_EQ(app_->store().Entry(1), "G01 X1 Y1 F10");
  EXPECT_EQ(Main().windowTitle(), Caption(first));
}

TEST_F(WindowTest, AnEmptyFileLoadsNoEntryAndLeavesAWhitePlot) {
  Start();
  ASSERT_TRUE(Main().OpenProgramFile(WriteFile("empty.txt", "")));
  EXPECT_EQ(app_->store().LineCount, 0);
  const QImage& image = View().Image();
  for (int y = 0; y < image.height(); y += 3)
    for (int x = 0; x < image.width(); x += 3)
      ASSERT_EQ(image.pixelColor(x, y), QColor(Qt::white)) << x << "," << y;
}

// File > Open starts in the samples until a program was opened, then in the
// folder of the last program opened (kept beside brimo.cfg) while it exists.
TEST_F(WindowTest, TheFileDialogStartsInTheLastFolderElseGcodesAndCancelStaysQuiet) {
  Start();
  ASSERT_TRUE(QDir(dir_.path()).mkpath("gcodes") && QDir(dir_.path()).mkpath("work"));
  QStringList filters;
  const auto dialogFolder = [&] {
    QString folder;
    QTimer::singleShot(0, [&] {
      auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
      ASSERT_NE(dialog, nullptr);
      folder = dialog->directory().absolutePath();
      filters = dialog->nameFilters();
      dialog->reject();
    });
    Main().findChild<QAction*>("Open_Menu")->trigger();
    return folder;
  };
  const QString gcodes = QDir(dir_.path()).filePath("gcodes");
  EXPECT_EQ(dialogFolder(), gcodes);
  const QString old = WriteFile("work/old.txt", "G01 X1 Y1 F10\nG01 X2\n");
  ASSERT_TRUE(Main().OpenProgramFile(old));
  EXPECT_EQ(dialogFolder(), QDir(dir_.path()).filePath("work"));
  EXPECT_EQ(filters,
            QStringList({"Text Files (*.txt)", "Flashcut files (*.fgc)", "All Files (*.*)"}));
  EXPECT_TRUE(messages_.empty());
  // Cancelling keeps the loaded program.
  EXPECT_EQ(app_->store().LineCount, 2);
  EXPECT_EQ(Main().windowTitle(), Caption(old));
  ASSERT_TRUE(QDir(QDir(dir_.path()).filePath("work")).removeRecursively());
  EXPECT_EQ(dialogFolder(), gcodes);
}

TEST_F(WindowTest, AFileNamedOnTheCommandLineIsOpenedAfterStartup) {
  const QString path = WriteFile("cli.txt", "G00 X5 Y5\nG01 X10 Y5 F100\nG01 X10 Y10\n");
  Start(path);
  EXPECT_EQ(app_->store().LineCount, 3);
  EXPECT_EQ(Main().windowTitle(), Caption(path));
}

// Every sample program loads and draws without a message: no tool change
// is asked while drawing, also not when a resize or Fit redraws it.
TEST_F(WindowTest, TheSampleProgramsLoadAndRedrawWithoutAnyQuestion) {
  Start();
  const std::pair<const char*, long> samples[] = {
      {"contour.txt", 19}, {"pocket.txt", 21}, {"drill.txt", 10}, {"toolchange.txt", 16}};
  for (const auto& [name, lines] : samples) {
    ASSERT_TRUE(Main().OpenProgramFile(SampleProgram(name))) << name;
    EXPECT_EQ(app_->store().LineCount, lines) << name;
    Main().resize(Main().width(), Main().height() + 10);
    Settle();
    Main().findChild<QAction*>("Mnu_Fit")->trigger();
    Main().findChild<QAction*>("Mnu_Fit")->trigger();
    EXPECT_TRUE(messages_.empty()) << name << ": " << messages_.front().text;
    EXPECT_FALSE(app_->ms().StepMode) << name;
    // The whole toolpath lies inside 0..100.
    EXPECT_GE(app_->plot().PlotXMin, 0) << name;
    EXPECT_LE(app_->plot().PlotXMax, 100) << name;
    EXPECT_LE(app_->plot().PlotYMax, 100) << name;
  }
}

}  // namespace
}  // namespace brimo::gui::test
