// Round trips through the settings, scale factors and coordinate dialogs.
// With BRIMO_SCREENSHOT_DIR set, each dialog is also saved as a PNG there.
#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include "dialogs/coordinate_dialog.h"
#include "dialogs/scale_dialog.h"
#include "dialogs/settings_dialog.h"
#include "gui/gui_fixture.h"

namespace brimo::gui::test {
namespace {

void Shoot(QWidget* w, const char* name) {
  const QByteArray dir = qgetenv("BRIMO_SCREENSHOT_DIR");
  if (!dir.isEmpty()) w->grab().save(QString::fromLocal8Bit(dir) + "/" + name);
}

template <class W>
W* In(QWidget* parent, const char* name) {
  W* w = parent->findChild<W*>(name);
  EXPECT_NE(w, nullptr) << name;
  return w;
}

TEST_F(WindowTest, SettingsOkAppliesAnEditedLeadAndUnitsConvertInPlace) {
  Start();
  Main().findChild<QAction*>("Set_menu")->trigger();
  FormSettings* d = Main().Settings();
  ASSERT_TRUE(d->isVisible());
  Shoot(d, "screenshot-settings.png");
  QStringList captions;
  for (const QLabel* label : d->findChildren<QLabel*>()) captions << label->text();
  for (const char* caption : {"mm/",
                              "Lead turn",
                              "Steps /",
                              "Drive turn",
                              "Pin number",
                              "Step",
                              "Dir",
                              "Home switch",
                              "Pin Number",
                              "Jog rates (G00=Fast)",
                              "Fast",
                              "Medium",
                              "Slow",
                              "Reverse",
                              "X-Axis",
                              "Z-axis move (Homing)",
                              "Z-axis move (To line)",
                              "Rel/Abs",
                              "(mm)",
                              "Pulse Width"})
    EXPECT_TRUE(captions.contains(caption)) << caption;
  int applied = 0;
  d->onApplied = [&applied] { ++applied; };
  In<QComboBox>(d, "Combo7_0")->setEditText("4.00");
  QTest::mouseClick(In<QPushButton>(d, "opsaetok"), Qt::LeftButton);
  EXPECT_FALSE(d->isVisible());
  EXPECT_DOUBLE_EQ(app_->ms().UnitsPerStepX, 0.01);
  EXPECT_EQ(applied, 1);

  Main().findChild<QAction*>("Set_menu")->trigger();
  In<QRadioButton>(d, "OptionIn")->click();
  EXPECT_EQ(In<QComboBox>(d, "Combo7_0")->currentText(), "0.157");
  EXPECT_EQ(In<QComboBox>(d, "Combo3_0")->currentText(), "19.69");
  // A field that is not a number: nothing converts, the unit goes back.
  In<QComboBox>(d, "Combo3_4")->setEditText("fast");
  In<QRadioButton>(d, "optionmm")->click();
  EXPECT_TRUE(In<QRadioButton>(d, "OptionIn")->isChecked());
  EXPECT_EQ(In<QComboBox>(d, "Combo7_0")->currentText(), "0.157");
  ASSERT_FALSE(messages_.empty());
  EXPECT_NE(messages_.back().text.find("Medium"), std::string::npos);
  // "Ok" with that field refuses and stays open.
  QTest::mouseClick(In<QPushButton>(d, "opsaetok"), Qt::LeftButton);
  EXPECT_TRUE(d->isVisible());
  EXPECT_EQ(applied, 1);  // a refused "Ok" applied nothing
  d->onApplied = nullptr;
  QTest::mouseClick(In<QPushButton>(d, "opsaetcancel"), Qt::LeftButton);
  EXPECT_FALSE(d->isVisible());
  EXPECT_EQ(app_->form().Combo3[4], "fast");  // kept for the next save
}

TEST_F(WindowTest, ScaleDialogConvertsAndRedrawsOnOk) {
  Start();
  ASSERT_TRUE(Main().OpenProgramFile(WriteFile("inch.txt", "G01 X1 Y1 F10\n")));
  app_->ms().PrgX = 0.5;
  Main().findChild<QAction*>("Mnu_Scale")->trigger();
  ScaleForm* d = Main().Scale();
  ASSERT_TRUE(d->isVisible());
  QTest::mouseClick(In<QPushButton>(d, "Command4"), Qt::LeftButton);
  EXPECT_EQ(In<QComboBox>(d, "Combo1_0")->currentText(), "25.4");
  Shoot(d, "screenshot-scale.png");
  QTest::mouseClick(In<QPushButton>(d, "Command2"), Qt::LeftButton);
  EXPECT_FALSE(d->isVisible());
  EXPECT_EQ(app_->ms().PrgX, 0);
  EXPECT_DOUBLE_EQ(app_->plot().PlotXMax, 25.4);
  EXPECT_DOUBLE_EQ(app_->window().ScaleFactor(0), 25.4);
}

TEST_F(WindowTest, CoordinateDialogWritesTheChangedAxis) {
  Start();
  app_->ms().PrgY = 2;
  QTest::mouseClick(Find<QPushButton>("SetPrg"), Qt::LeftButton);
  Set_Prg_cord* d = Main().Coordinates();
  ASSERT_TRUE(d->isVisible());
  EXPECT_EQ(d->windowTitle(), "Set Program Coordinates");
  In<QComboBox>(d, "Combo1_0")->setEditText("12.5");
  Shoot(d, "screenshot-coordinates.png");
  QTest::mouseClick(In<QPushButton>(d, "Command1"), Qt::LeftButton);
  EXPECT_FALSE(d->isVisible());
  EXPECT_EQ(app_->ms().PrgX, 12.5);
  EXPECT_EQ(app_->ms().PrgY, 2);
  EXPECT_EQ(Find<QLabel>("PrgOutlbl_0")->text(), "12.5000");

  QTest::mouseClick(Find<QPushButton>("Command11"), Qt::LeftButton);
  EXPECT_EQ(d->windowTitle(), "Set Machine Coordinates");
  QTest::mouseClick(In<QPushButton>(d, "Command3"), Qt::LeftButton);  // "Zero all"
  app_->ms().MachX = 4;
  QTest::mouseClick(In<QPushButton>(d, "Command2"), Qt::LeftButton);  // "Cancel"
  EXPECT_EQ(app_->ms().MachX, 4);
}

}  // namespace
}  // namespace brimo::gui::test
