// The safety agreement at start-up, the "Offline" box, and the About box.
#include <QCheckBox>
#include <QDialog>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>
#include <functional>

#include "gui/dialogs/about_box.h"
#include "gui_fixture.h"

namespace brimo::gui::test {
namespace {

// Acts on the modal dialog as soon as its event loop runs.
void WhenModal(std::function<void(QDialog&)> act) {
  QTimer::singleShot(0, [act] {
    auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
    ASSERT_NE(dialog, nullptr);
    act(*dialog);
  });
}

class SafetyTest : public WindowTest {
 protected:
  void StartOnline() {
    StartOptions options;
    options.safetyDialog = false;
    app_->Start(options);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&Main()));
  }
  QCheckBox* Offline() { return Find<QCheckBox>("Check2"); }
  // A check box takes clicks on its box and caption only: click the box.
  void ClickOffline() {
    QTest::mouseClick(Offline(), Qt::LeftButton, {}, QPoint(6, Offline()->height() / 2));
  }
};

TEST_F(SafetyTest, TheAgreementShowsTheNoticeAndItsTwoChoices) {
  StartOnline();
  QString title, heading, notice, left, right;
  WhenModal([&](QDialog& d) {
    title = d.windowTitle();
    heading = d.findChild<QLabel*>("Label1")->text();
    notice = d.findChild<QPlainTextEdit*>("Text1")->toPlainText();
    EXPECT_TRUE(d.findChild<QPlainTextEdit*>("Text1")->isReadOnly());
    auto* offline = d.findChild<QPushButton*>("Command2");
    auto* agree = d.findChild<QPushButton*>("Command1");
    left = offline->text(), right = agree->text();
    EXPECT_LT(offline->geometry().center().x(), agree->geometry().center().x());
    EXPECT_EQ(d.objectName(), "Dialog");
    agree->click();
  });
  app_->RunSafetyAgreement();
  EXPECT_EQ(title, QString(30, ' ') + "Welcome to BrimoCNC");
  EXPECT_FALSE(heading.isEmpty());
  EXPECT_TRUE(notice.startsWith("A computer-controlled machine tool is potentially dangerous."));
  for (int n = 1; n <= 8; ++n) EXPECT_TRUE(notice.contains(QString("\n%1. ").arg(n))) << n;
  EXPECT_TRUE(notice.contains("Go Offline"));
  EXPECT_EQ(left, "Go Offline");
  EXPECT_EQ(right, "I Agree");
}

TEST_F(SafetyTest, IAgreeLeavesTheMachineOnline) {
  StartOnline();
  WhenModal([](QDialog& d) { d.findChild<QPushButton*>("Command1")->click(); });
  EXPECT_FALSE(app_->RunSafetyAgreement());
  EXPECT_FALSE(app_->ms().Offline);
  EXPECT_FALSE(Offline()->isChecked());
}

TEST_F(SafetyTest, GoOfflineSetsOfflineAndTicksTheOfflineBox) {
  StartOnline();
  WhenModal([](QDialog& d) { d.findChild<QPushButton*>("Command2")->click(); });
  EXPECT_TRUE(app_->RunSafetyAgreement());
  EXPECT_TRUE(app_->ms().Offline);
  EXPECT_TRUE(Offline()->isChecked());

  // Unticking the box makes the program online again; ticking it offline.
  ClickOffline();
  EXPECT_FALSE(Offline()->isChecked());
  EXPECT_FALSE(app_->ms().Offline);
  ClickOffline();
  EXPECT_TRUE(app_->ms().Offline);
}

TEST_F(SafetyTest, ClosingTheAgreementThroughItsFrameGoesOffline) {
  StartOnline();
  WhenModal([](QDialog& d) { d.close(); });
  EXPECT_TRUE(app_->RunSafetyAgreement());
  EXPECT_TRUE(app_->ms().Offline);
  EXPECT_TRUE(Offline()->isChecked());
}

TEST_F(SafetyTest, EscapeGoesOfflineToo) {
  StartOnline();
  WhenModal([](QDialog& d) { QTest::keyClick(&d, Qt::Key_Escape); });
  EXPECT_TRUE(app_->RunSafetyAgreement());
  EXPECT_TRUE(app_->ms().Offline);
}

TEST_F(SafetyTest, StartShowsTheAgreementBeforeTheCommandLineFile) {
  const QString path = WriteFile("p.txt", "G01 X1 Y1 F10\nG01 X2\n");
  long loadedWhenShown = -1;
  WhenModal([&](QDialog& d) {
    loadedWhenShown = app_->store().LineCount;
    d.findChild<QPushButton*>("Command2")->click();
  });
  StartOptions options;
  options.programFile = path;
  app_->Start(options);
  EXPECT_EQ(loadedWhenShown, 0);
  EXPECT_TRUE(app_->ms().Offline);
  EXPECT_EQ(app_->store().LineCount, 2);
}

TEST_F(WindowTest, AboutShowsNameAndVersionAndItsButtonHidesItAndFocusesThePlot) {
  Start();
  Main().activateWindow();
  Find<QWidget>("Check1")->setFocus();
  Main().findChild<QAction*>("Mnu_About")->trigger();
  AboutBox* about = Main().About();
  ASSERT_TRUE(about->isVisible());
  EXPECT_EQ(about->objectName(), "AboutBox");
  QStringList texts;
  for (QLabel* label : about->findChildren<QLabel*>()) texts << label->text();
  EXPECT_TRUE(texts.join('\n').contains("BrimoCNC"));
  EXPECT_TRUE(texts.join('\n').contains(BRIMO_VERSION));

  QTest::mouseClick(about->findChild<QPushButton*>("Command1"), Qt::LeftButton);
  EXPECT_FALSE(about->isVisible());
  EXPECT_EQ(Main().focusWidget(), &View());
}

}  // namespace
}  // namespace brimo::gui::test
