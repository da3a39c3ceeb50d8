// Round trips through the settings, scale factors and coordinate dialogs.
// With BRIMO_SCREENSHOT_DIR set, each dialog is also saved as a PNG there.
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStatusBar>
#include <QTest>

#include "core/machine/settings_table.h"
#include "gui/dialogs/coordinate_dialog.h"
#include "gui/dialogs/scale_dialog.h"
#include "gui/dialogs/settings_dialog.h"
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
  // Seven significant digits in inches: no scale error once saved.
  EXPECT_EQ(In<QComboBox>(d, "Combo7_0")->currentText(), "0.1574803");
  EXPECT_EQ(In<QComboBox>(d, "Combo3_0")->currentText(), "19.68504");
  // A converted value shows its leading digits where the box is too narrow.
  EXPECT_EQ(In<QComboBox>(d, "Combo7_0")->lineEdit()->cursorPosition(), 0);
  // A field that is not a number: nothing converts, the unit goes back.
  In<QComboBox>(d, "Combo3_4")->setEditText("fast");
  In<QRadioButton>(d, "optionmm")->click();
  EXPECT_TRUE(In<QRadioButton>(d, "OptionIn")->isChecked());
  EXPECT_EQ(In<QComboBox>(d, "Combo7_0")->currentText(), "0.1574803");
  ASSERT_FALSE(messages_.empty());
  EXPECT_NE(messages_.back().text.find("Medium"), std::string::npos);
  // "Ok" with that field refuses and stays open.
  QTest::mouseClick(In<QPushButton>(d, "opsaetok"), Qt::LeftButton);
  EXPECT_TRUE(d->isVisible());
  EXPECT_EQ(applied, 1);  // a refused "Ok" applied nothing
  d->onApplied = nullptr;
  QTest::mouseClick(In<QPushButton>(d, "opsaetcancel"), Qt::LeftButton);
  EXPECT_FALSE(d->isVisible());
  // "Cancel" put back every field as the dialog was shown: mm, lead 4.00.
  EXPECT_EQ(app_->form().MediumRateY, "200");
  EXPECT_EQ(app_->form().LeadX, "4.00");
  EXPECT_TRUE(app_->form().UnitsMm);
  Main().findChild<QAction*>("Set_menu")->trigger();
  EXPECT_EQ(In<QComboBox>(d, "Combo3_4")->currentText(), "200");
  EXPECT_TRUE(In<QRadioButton>(d, "optionmm")->isChecked());
  EXPECT_EQ(In<QLabel>(d, "Label4")->text(), "mm/");
}

// The "Port" group: its two fields show the port in force, "Ok" checks the
// address like every other field and applies it in the dialog's form.
TEST_F(WindowTest, SettingsPortGroupIsCheckedAndAppliedByOk) {
  Start();
  Main().findChild<QAction*>("Set_menu")->trigger();
  FormSettings* d = Main().Settings();
  QStringList captions;
  for (const QLabel* label : d->findChildren<QLabel*>()) captions << label->text();
  EXPECT_TRUE(captions.contains("Device (Linux)"));
  EXPECT_TRUE(captions.contains("Address (hex)"));
  EXPECT_EQ(In<QLineEdit>(d, "PortDevice")->text(), "/dev/parport0");
  QLineEdit* base = In<QLineEdit>(d, "PortBase");
  EXPECT_EQ(base->text(), "0x378");
  for (const char* typed : {"0x10000", "e800"}) {
    base->selectAll();
    QTest::keyClicks(base, typed);
    QTest::mouseClick(In<QPushButton>(d, "opsaetok"), Qt::LeftButton);
  }
  ASSERT_FALSE(messages_.empty());
  EXPECT_NE(messages_.back().text.find("Port address must be"), std::string::npos);
  EXPECT_FALSE(d->isVisible());
  EXPECT_EQ(app_->ms().PortBase, 0xE800u);
  EXPECT_EQ(base->text(), "0xE800");
}

// Closing the dialog is a "Cancel" too, and the end of the program saves
// nothing that was not confirmed with "Ok".
TEST_F(WindowTest, SettingsClosedWithoutOkLeaveNoEditBehind) {
  Start();
  for (int way = 0; way < 3; ++way) {
    SCOPED_TRACE(way);
    Main().findChild<QAction*>("Set_menu")->trigger();
    FormSettings* d = Main().Settings();
    In<QComboBox>(d, "Combo7_1")->setEditText("5.00");
    In<QCheckBox>(d, "YReverse")->setChecked(true);
    if (way == 0) QTest::keyClick(d, Qt::Key_Escape);
    if (way == 1) d->close();
    if (way == 2) Main().close();  // the end of the program saves brimo.cfg
    EXPECT_FALSE(d->isVisible());
    EXPECT_EQ(app_->form().LeadY, "3.00");
    EXPECT_EQ(app_->form().ReverseY, 0);
  }
  QFile cfg(QDir(dir_.path()).filePath("brimo.cfg"));
  ASSERT_TRUE(cfg.open(QIODevice::ReadOnly));
  const QList<QByteArray> lines = cfg.readAll().split('\n');
  EXPECT_EQ(lines[26].trimmed(), "3.00");
  EXPECT_EQ(lines[29].trimmed(), "0");
}

// The settings table binds every brimo.cfg line's field to its control: an
// edit in the control named by the table reaches exactly that field, and
// the home panel holds the controls of its lines.
TEST_F(WindowTest, EachControlEditsTheFieldTheSettingsTableBindsItTo) {
  Start();
  Main().findChild<QAction*>("Set_menu")->trigger();
  FormSettings* d = Main().Settings();
  for (int line = 1; line <= kConfigLines; ++line) {
    const SettingLine& row = kSettingLines[line - 1];
    SCOPED_TRACE(testing::Message() << "line " << line << " " << row.control);
    if (std::holds_alternative<std::monostate>(row.field)) continue;  // no control
    QWidget* control = d->findChild<QWidget*>(row.control);
    if (!control) {  // a home panel line
      EXPECT_NE(Main().findChild<QWidget*>(row.control), nullptr);
      continue;
    }
    const QString text = QString("v%1").arg(line);
    if (auto* field = std::get_if<std::string SettingsForm::*>(&row.field)) {
      if (auto* combo = qobject_cast<QComboBox*>(control)) combo->setEditText(text);
      if (auto* edit = qobject_cast<QLineEdit*>(control)) {
        edit->selectAll();
        QTest::keyClicks(edit, text);
      }
      EXPECT_EQ(app_->form().*(*field), text.toStdString());
    } else if (auto* check = std::get_if<int SettingsForm::*>(&row.field)) {
      EXPECT_EQ(app_->form().*(*check), 0);
      qobject_cast<QCheckBox*>(control)->click();
      EXPECT_EQ(app_->form().*(*check), 1);
    } else {
      EXPECT_NE(qobject_cast<QRadioButton*>(control), nullptr);
    }
  }
  for (const UnitLabelLine& label : kUnitLabels)
    EXPECT_EQ(In<QLabel>(d, label.control)->text().toStdString(), app_->form().*label.field);
  d->DiscardEdits();
}

// A damaged brimo.cfg: the dialog shows what the machine uses, and the
// "Offline" box cannot be unticked before Settings "Ok".
TEST_F(WindowTest, DamagedConfigurationStartsOfflineUntilSettingsOk) {
  QByteArray text;
  const char* lines[] = {"400",   "400", "400",  "3",    "2",     "5",     "4",        "7",
                         "6",     "0",   "0",    "15",   "500",   "200",   "100",      "500",
                         "200",   "100", "500",  "200",  "100",   "10",    "11",       "12",
                         "13",    "abc", "5.00", "3.00", " 0 ",   " 1 ",   " 0 ",      "True",
                         "False", " 0 ", "5",    " 0 ",  " 0 ",   " 0 ",   "Relative", "Relative",
                         "Rel.",  "10",  "10",   "True", "False", "False", "Rapid",    "100"};
  for (const char* l : lines) text += QByteArray(l) + "\r\n";
  WriteFile("brimo.cfg", text);
  StartOptions options;
  options.safetyDialog = false;
  app_->Start(options);
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&Main()));
  ASSERT_FALSE(messages_.empty());
  EXPECT_NE(messages_[0].text.find("Line 26"), std::string::npos) << messages_[0].text;
  // Lead Y 5.00 and reverse Y apply; lead X takes its default.
  EXPECT_DOUBLE_EQ(app_->ms().UnitsPerStepY, 5.0 / 400);
  EXPECT_DOUBLE_EQ(app_->ms().UnitsPerStepX, 3.0 / 400);
  EXPECT_EQ(app_->ms().DirSenseY, 1);
  Main().findChild<QAction*>("Set_menu")->trigger();
  FormSettings* d = Main().Settings();
  EXPECT_EQ(In<QComboBox>(d, "Combo7_0")->currentText(), "3.00");
  EXPECT_EQ(In<QComboBox>(d, "Combo7_1")->currentText(), "5.00");
  EXPECT_TRUE(In<QCheckBox>(d, "YReverse")->isChecked());

  QCheckBox* offline = Find<QCheckBox>("Check2");
  ASSERT_NE(offline, nullptr);
  EXPECT_TRUE(offline->isChecked());
  EXPECT_TRUE(app_->ms().Offline);
  const size_t told = messages_.size();
  QTest::mouseClick(offline, Qt::LeftButton, {}, QPoint(6, offline->height() / 2));
  EXPECT_TRUE(offline->isChecked());
  EXPECT_TRUE(app_->ms().Offline);
  EXPECT_EQ(messages_.size(), told + 1);

  QTest::mouseClick(In<QPushButton>(d, "opsaetok"), Qt::LeftButton);
  EXPECT_FALSE(d->isVisible());
  QTest::mouseClick(offline, Qt::LeftButton, {}, QPoint(6, offline->height() / 2));
  EXPECT_FALSE(offline->isChecked());
  EXPECT_FALSE(app_->ms().Offline);
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
  // Leaving a field formats a number; a non-number stays and is named in the
  // message line, and "OK" refuses it.
  QComboBox* x = In<QComboBox>(d, "Combo1_0");
  QComboBox* y = In<QComboBox>(d, "Combo1_1");
  d->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(d));
  x->setFocus();
  x->setEditText("7.5");
  y->setFocus();
  Settle();
  EXPECT_EQ(x->currentText(), "7.5000");
  y->setEditText("abc");
  x->setFocus();
  Settle();
  EXPECT_EQ(y->currentText(), "abc");
  EXPECT_TRUE(Main().StatusText()->text().startsWith("Y is not a number"))
      << Main().StatusText()->text().toStdString();
  messages_.clear();
  QTest::mouseClick(In<QPushButton>(d, "Command1"), Qt::LeftButton);
  EXPECT_TRUE(d->isVisible());
  ASSERT_EQ(messages_.size(), 1u);
  EXPECT_NE(messages_[0].text.find("Y is not a number: \"abc\""), std::string::npos);
  EXPECT_EQ(app_->ms().MachX, 0);
  QTest::mouseClick(In<QPushButton>(d, "Command3"), Qt::LeftButton);  // "Zero all"
  app_->ms().MachX = 4;
  QTest::mouseClick(In<QPushButton>(d, "Command2"), Qt::LeftButton);  // "Cancel"
  EXPECT_EQ(app_->ms().MachX, 4);
}

}  // namespace
}  // namespace brimo::gui::test
