#include "gui/dialogs/settings_dialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QShowEvent>
#include <QVBoxLayout>
#include <algorithm>

#include "core/forms/settings_apply.h"
#include "core/machine/core.h"
#include "core/machine/messages.h"
#include "core/machine/settings_form.h"
#include "core/machine/settings_table.h"
#include "gui/console/qt_window_port.h"

namespace brimo::gui {
namespace {

QStringList Numbers(int from, int to) {
  QStringList l;
  for (int i = from; i <= to; ++i) l << QString::number(i);
  return l;
}

}  // namespace

QComboBox* FormSettings::AddCombo(std::string SettingsForm::*field, const QStringList& list) {
  std::string* text = &(form_.*field);
  auto* box = new QComboBox(this);
  box->setObjectName(ControlNameOf(field));
  box->setEditable(true);
  box->setInsertPolicy(QComboBox::NoInsert);
  box->addItems(list);
  box->setMinimumWidth(64);
  // Wide enough for the longest list entry ("Limit switch").
  int widest = 0;
  for (const QString& item : list)
    widest = std::max(widest, box->fontMetrics().horizontalAdvance(item));
  if (widest > 0) box->setMinimumWidth(std::max(64, widest + 40));
  connect(box, &QComboBox::editTextChanged, this, [this, text](const QString& t) {
    if (!loading_) *text = t.toStdString();
  });
  fields_.push_back({box, nullptr, text});
  return box;
}

QLineEdit* FormSettings::AddEdit(std::string SettingsForm::*field) {
  std::string* text = &(form_.*field);
  auto* edit = new QLineEdit(this);
  edit->setObjectName(ControlNameOf(field));
  connect(edit, &QLineEdit::textEdited, this,
          [text](const QString& t) { *text = t.toStdString(); });
  fields_.push_back({nullptr, edit, text});
  return edit;
}

QCheckBox* FormSettings::AddCheck(int SettingsForm::*field, const QString& text, QWidget* parent) {
  auto* box = new QCheckBox(text, parent);
  box->setObjectName(ControlNameOf(field));
  int* value = &(form_.*field);
  connect(box, &QCheckBox::toggled, this, [value](bool on) { *value = on ? 1 : 0; });
  checks_.push_back({box, field});
  return box;
}

QLabel* FormSettings::AddLabel(QLabel* label, std::string SettingsForm::*field) {
  label->setObjectName(ControlNameOf(field));
  labels_.push_back({label, field});
  return label;
}

FormSettings::FormSettings(Core& core, SettingsForm& form, QString programFolder, QWidget* parent)
    : QDialog(parent), c_(core), form_(form), folder_(std::move(programFolder)) {
  setObjectName("FormSettings");
  setWindowTitle("Settings");
  setModal(false);
  auto* top = new QVBoxLayout(this);

  // The axis grid: two heading rows, then one row per axis.
  auto* grid = new QGridLayout;
  auto head = [this, grid](const char* text, int row, int column, int span = 1) {
    auto* label = new QLabel(text, this);
    grid->addWidget(label, row, column, 1, span);
    return label;
  };
  AddLabel(head("mm/", 0, 1), &SettingsForm::LeadUnitLabel);
  head("Lead turn", 1, 1);
  head("Steps /", 0, 2);
  head("Drive turn", 1, 2);
  head("Pin number", 0, 3, 2);
  head("Step", 1, 3);
  head("Dir", 1, 4);
  head("Home switch", 0, 5);
  head("Pin Number", 1, 5);
  head("Jog rates (G00=Fast)", 0, 6, 3);
  head("Fast", 1, 6);
  head("Medium", 1, 7);
  head("Slow", 1, 8);
  head("Reverse", 1, 9);
  const char* axes[3] = {"X", "Y", "Z"};
  for (int a = 0; a < 3; ++a) {
    const AxisFields& axis = kAxisFields[a];
    const int row = a + 2;
    grid->addWidget(new QLabel(axes[a], this), row, 0);
    grid->addWidget(AddCombo(axis.lead), row, 1);
    grid->addWidget(AddCombo(axis.stepsPerRev), row, 2);
    grid->addWidget(AddCombo(axis.stepPin, Numbers(2, 9)), row, 3);
    grid->addWidget(AddCombo(axis.dirPin, Numbers(2, 9)), row, 4);
    grid->addWidget(AddCombo(axis.homePin, Numbers(10, 13)), row, 5);
    for (int s = 0; s < 3; ++s) grid->addWidget(AddCombo(axis.rates[s]), row, 6 + s);
    grid->addWidget(AddCheck(axis.reverse, "", this), row, 9);
  }
  top->addLayout(grid);

  // Below the grid: tool change position, switches, Z moves, Rel/Abs, units,
  // pulse width.
  auto* lower = new QHBoxLayout;
  auto* tool = new QGroupBox("Tool Change Pos.", this);
  auto* toolGrid = new QGridLayout(tool);
  const char* toolAxes[3] = {"X-Axis", "Y-Axis", "Z-Axis"};
  for (int a = 0; a < 3; ++a) {
    toolGrid->addWidget(new QLabel(toolAxes[a], tool), a, 0);
    toolGrid->addWidget(AddCombo(kAxisFields[a].toolChange), a, 1);
  }
  lower->addWidget(tool);

  auto* switches = new QGroupBox(this);
  auto* switchGrid = new QGridLayout(switches);
  switchGrid->addWidget(AddCheck(&SettingsForm::HomeSwitchEnabled, "Enable Home Switch", switches),
                        0, 0, 1, 2);
  switchGrid->addWidget(
      AddCheck(&SettingsForm::LimitSwitchEnabled, "Enable Limit Switch", switches), 1, 0, 1, 2);
  auto* limitHead = new QVBoxLayout;
  limitHead->setSpacing(0);
  limitHead->addWidget(new QLabel("Limit switch", switches));
  limitHead->addWidget(new QLabel("Pin Number", switches));
  switchGrid->addLayout(limitHead, 2, 0);
  switchGrid->addWidget(AddCombo(&SettingsForm::LimitPin, Numbers(10, 13)), 2, 1);
  lower->addWidget(switches);

  auto* moves = new QGroupBox(this);
  auto* moveGrid = new QGridLayout(moves);
  moveGrid->addWidget(new QLabel("Z-axis move (Homing)", moves), 0, 0);
  moveGrid->addWidget(
      AddCombo(&SettingsForm::ZHomingMoveMode, {"Limit switch", "Relative", "Absolute", "None"}), 0,
      1);
  moveGrid->addWidget(AddEdit(&SettingsForm::ZHomingMoveDistance), 0, 2);
  moveGrid->addWidget(AddLabel(new QLabel("(mm)", moves), &SettingsForm::ZHomingUnitLabel), 0, 3);
  moveGrid->addWidget(new QLabel("Z-axis move (To line)", moves), 1, 0);
  moveGrid->addWidget(AddCombo(&SettingsForm::ZToLineMoveMode, {"Relative", "Absolute"}), 1, 1);
  moveGrid->addWidget(AddEdit(&SettingsForm::ZToLineMoveDistance), 1, 2);
  moveGrid->addWidget(AddLabel(new QLabel("(mm)", moves), &SettingsForm::ZToLineUnitLabel), 1, 3);
  moveGrid->addWidget(new QLabel("Rel/Abs", moves), 2, 0);
  moveGrid->addWidget(AddCombo(&SettingsForm::CoordinateMode, {"Rel.", "Abs."}), 2, 1);
  lower->addWidget(moves);

  auto* units = new QGroupBox("Select Units", this);
  auto* unitBox = new QVBoxLayout(units);
  optionmm_ = new QRadioButton("mm", units);
  optionmm_->setObjectName(ControlNameOf(&SettingsForm::UnitsMm));
  OptionIn_ = new QRadioButton("In", units);
  OptionIn_->setObjectName(ControlNameOf(&SettingsForm::UnitsInch));
  unitBox->addWidget(optionmm_);
  unitBox->addWidget(OptionIn_);
  unitBox->addWidget(new QLabel("Pulse Width", units));
  unitBox->addWidget(AddCombo(&SettingsForm::PulseWidth));
  lower->addWidget(units);

  // Which parallel port: the ppdev device on Linux, the I/O address for
  // direct I/O and InpOut32.
  auto* port = new QGroupBox("Port", this);
  auto* portGrid = new QGridLayout(port);
  portGrid->addWidget(new QLabel("Device (Linux)", port), 0, 0);
  QLineEdit* device = AddEdit(&SettingsForm::PortDevice);
  device->setMinimumWidth(device->fontMetrics().horizontalAdvance("/dev/parport0") + 16);
  portGrid->addWidget(device, 1, 0);
  portGrid->addWidget(new QLabel("Address (hex)", port), 2, 0);
  portGrid->addWidget(AddEdit(&SettingsForm::PortBase), 3, 0);
  lower->addWidget(port);
  top->addLayout(lower);

  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  auto* ok = new QPushButton("Ok", this);
  ok->setObjectName("opsaetok");
  auto* cancel = new QPushButton("Cancel", this);
  cancel->setObjectName("opsaetcancel");
  buttons->addWidget(ok);
  buttons->addWidget(cancel);
  top->addLayout(buttons);

  connect(OptionIn_, &QRadioButton::clicked, this, &FormSettings::OptionIn_Click);
  connect(optionmm_, &QRadioButton::clicked, this, &FormSettings::optionmm_Click);
  connect(ok, &QPushButton::clicked, this, &FormSettings::opsaetok_Click);
  connect(cancel, &QPushButton::clicked, this, &FormSettings::opsaetcancel_Click);
  LoadFromForm();
}

void FormSettings::LoadFromForm() {
  loading_ = true;
  for (const TextField& f : fields_) {
    const QString t = QString::fromStdString(*f.text);
    if (f.combo) f.combo->setEditText(t);
    if (f.edit) f.edit->setText(t);
    // A value longer than its box (0.5905512 in) shows its leading digits,
    // not its tail: "5905512" would read as another number.
    if (QLineEdit* e = f.combo ? f.combo->lineEdit() : f.edit) e->setCursorPosition(0);
  }
  for (const CheckField& f : checks_) f.box->setChecked(form_.*f.value != 0);
  optionmm_->setChecked(form_.UnitsMm);
  OptionIn_->setChecked(form_.UnitsInch);
  for (const LabelField& f : labels_) f.label->setText(QString::fromStdString(form_.*f.text));
  loading_ = false;
}

void FormSettings::UnitChosen(bool inch) {
  std::string bad;
  const bool ok = inch ? form_.SelectInches(false, &bad) : form_.SelectMillimetres(false, &bad);
  // On a refusal the model kept the unit the fields are in; the radio
  // buttons follow it again (LoadFromForm), so fields and unit always agree.
  LoadFromForm();
  if (!ok) c_.win.Message(msg::kUnitsNotChanged + bad, msg::kUnitsTitle);
}

void FormSettings::OptionIn_Click() { UnitChosen(true); }

void FormSettings::optionmm_Click() { UnitChosen(false); }

void FormSettings::opsaetok_Click() {
  std::string message;
  // The machine's state belongs to the motion thread while it moves.
  if (PortOf(c_).MotionBusy()) {
    c_.win.Message(msg::kSettingsWhileRunning, msg::kSettingsTitle);
    return;
  }
  if (!ApplySettingsOk(c_, form_, folder_.toStdString(), message)) {
    c_.win.Message(message, msg::kSettingsTitle);
    return;  // the dialog stays open with the operator's texts
  }
  LoadFromForm();
  hide();
  if (onApplied) onApplied();
}

void FormSettings::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (!event->spontaneous()) shown_ = form_;
}

void FormSettings::DiscardEdits() {
  if (isVisible()) {
    form_.RestoreDialogFields(shown_);
    LoadFromForm();
  }
  hide();
}

void FormSettings::reject() {
  DiscardEdits();
  QDialog::reject();
}

void FormSettings::opsaetcancel_Click() { reject(); }

}  // namespace brimo::gui
