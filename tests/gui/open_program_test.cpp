// File > Open after the dialog (the OpenProgramFile seam), the command-line
// file, and the sample programs.
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QLocale>
#include <QTimer>

#include "gui_fixture.h"
#include "machine/messages.h"
#include "plot/toolpath.h"

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
  ms.StopPrgX = 1, ms.StopRequested = true, ms.ResumePending = true;

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
  EXPECT_EQ(ms.StopPrgX, 0);
  EXPECT_FALSE(ms.StopRequested);
  EXPECT_FALSE(ms.ResumePending);
  for (const char* name : {"PrgOutlbl_0", "PrgOutlbl_1", "PrgOutlbl_2"})
    EXPECT_EQ(Find<QLabel>(name)->text(), "0.0000") << name;
  EXPECT_FALSE(app_->plot().PlotOnly);
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

TEST_F(WindowTest, AFileThatCannotBeReadIsNamedWithTheReasonAndClearsTheFlags) {
  Start();
  ASSERT_TRUE(Main().OpenProgramFile(WriteFile("good.txt", "G01 X1 Y1 F10\nG01 X2\n")));
  const QString missing = QDir(dir_.path()).filePath("no such program.txt");

  EXPECT_FALSE(Main().OpenProgramFile(missing));

  ASSERT_EQ(messages_.size(), 1u);
  const QString text = QString::fromStdString(messages_[0].text);
  EXPECT_TRUE(text.contains(QDir::toNativeSeparators(missing))) << messages_[0].text;
  EXPECT_GT(text.size(), QDir::toNativeSeparators(missing).size() + 40) << "no reason given";
  EXPECT_EQ(app_->store().LineCount, 0);
  EXPECT_EQ(Main().windowTitle(), "BrimoCNC");
  EXPECT_FALSE(app_->plot().PlotOnly);
  EXPECT_FALSE(app_->plot().RefitExtents);
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

TEST_F(WindowTest, TheFileDialogStartsInGcodesWithThreeFiltersAndCancelStaysQuiet) {
  Start();
  ASSERT_TRUE(QDir(dir_.path()).mkdir("gcodes"));
  ASSERT_TRUE(Main().OpenProgramFile(WriteFile("old.txt", "G01 X1 Y1 F10\nG01 X2\n")));
  QString folder;
  QStringList filters;
  QTimer::singleShot(0, [&] {
    auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
    ASSERT_NE(dialog, nullptr);
    folder = dialog->directory().absolutePath();
    filters = dialog->nameFilters();
    dialog->reject();
  });
  Main().findChild<QAction*>("Open_Menu")->trigger();

  EXPECT_EQ(folder, QDir(dir_.path()).filePath("gcodes"));
  EXPECT_EQ(filters,
            QStringList({"Text Files (*.txt)", "Flashcut files (*.fgc)", "All Files (*.*)"}));
  EXPECT_TRUE(messages_.empty());
  // As File > Open always did: from the dialog on, no program is loaded.
  EXPECT_EQ(app_->store().LineCount, 0);
  EXPECT_EQ(Main().windowTitle(), "BrimoCNC");
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
