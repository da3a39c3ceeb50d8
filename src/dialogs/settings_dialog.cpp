#include "dialogs/settings_dialog.h"

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

#include "console/qt_window_port.h"
#include "dialogs/settings_apply.h"
#include "machine/core.h"
#include "machine/messages.h"
#include "machine/settings_form.h"

namespace brimo::gui {
namespace {

QString Indexed(const char* name, int i) { return QString("%1_%2").arg(name).arg(i); }

QStringList Numbers(int from, int to) {
  QStringList l;
  for (int i = from; i <= to; ++i) l << QString::number(i);
  return l;
}

}  // namespace

QComboBox* FormSettings::AddCombo(const QString& name, std::string* text, const QStringList& list) {
  auto* box = new QComboBox(this);
  box->setObjectName(name);
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

QLineEdit* FormSettings::AddEdit(const QString& name, std::string* text) {
  auto* edit = new QLineEdit(this);
  edit->setObjectName(name);
  connect(edit, &QLineEdit::textEdited, this,
          [text](const QString& t) { *text = t.toStdString(); });
  fields_.push_back({nullptr, edit, text});
  return edit;
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
  Label4_ = head("mm/", 0, 1);
  Label4_->setObjectName("Label4");
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
  int* reverse[3] = {&form_.XReverse, &form_.YReverse, &form_.ZReverse};
  const char* reverseNames[3] = {"XReverse", "YReverse", "ZReverse"};
  for (int a = 0; a < 3; ++a) {
    const int row = a + 2;
    grid->addWidget(new QLabel(axes[a], this), row, 0);
    grid->addWidget(AddCombo(Indexed("Combo7", a), &form_.Combo7[a]), row, 1);
    grid->addWidget(AddCombo(Indexed("Combo2", a), &form_.Combo2[a]), row, 2);
    grid->addWidget(AddCombo(Indexed("Combo1", 2 * a), &form_.Combo1[2 * a], Numbers(2, 9)), row,
                    3);
    grid->addWidget(AddCombo(Indexed("Combo1", 2 * a + 1), &form_.Combo1[2 * a + 1], Numbers(2, 9)),
                    row, 4);
    grid->addWidget(AddCombo(Indexed("Combo8", a), &form_.Combo8[a], Numbers(10, 13)), row, 5);
    for (int s = 0; s < 3; ++s)
      grid->addWidget(AddCombo(Indexed("Combo3", 3 * a + s), &form_.Combo3[3 * a + s]), row, 6 + s);
    reverse_[a] = new QCheckBox(this);
    reverse_[a]->setObjectName(reverseNames[a]);
    int* value = reverse[a];
    connect(reverse_[a], &QCheckBox::toggled, this, [value](bool on) { *value = on ? 1 : 0; });
    grid->addWidget(reverse_[a], row, 9);
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
    toolGrid->addWidget(AddCombo(Indexed("Combo6", a), &form_.Combo6[a]), a, 1);
  }
  lower->addWidget(tool);

  auto* switches = new QGroupBox(this);
  auto* switchGrid = new QGridLayout(switches);
  const char* checks[2] = {"Enable Home Switch", "Enable Limit Switch"};
  for (int i = 0; i < 2; ++i) {
    Check1_[i] = new QCheckBox(checks[i], switches);
    Check1_[i]->setObjectName(Indexed("Check1", i));
    int* value = &form_.Check1[i];
    connect(Check1_[i], &QCheckBox::toggled, this, [value](bool on) { *value = on ? 1 : 0; });
    switchGrid->addWidget(Check1_[i], i, 0, 1, 2);
  }
  auto* limitHead = new QVBoxLayout;
  limitHead->setSpacing(0);
  limitHead->addWidget(new QLabel("Limit switch", switches));
  limitHead->addWidget(new QLabel("Pin Number", switches));
  switchGrid->addLayout(limitHead, 2, 0);
  switchGrid->addWidget(AddCombo("Combo8_3", &form_.Combo8[3], Numbers(10, 13)), 2, 1);
  lower->addWidget(switches);

  auto* moves = new QGroupBox(this);
  auto* moveGrid = new QGridLayout(moves);
  moveGrid->addWidget(new QLabel("Z-axis move (Homing)", moves), 0, 0);
  moveGrid->addWidget(
      AddCombo("Combo5", &form_.Combo5, {"Limit switch", "Relative", "Absolute", "None"}), 0, 1);
  moveGrid->addWidget(AddEdit("Text1", &form_.Text1), 0, 2);
  Label18_ = new QLabel("(mm)", moves);
  Label18_->setObjectName("Label18");
  moveGrid->addWidget(Label18_, 0, 3);
  moveGrid->addWidget(new QLabel("Z-axis move (To line)", moves), 1, 0);
  moveGrid->addWidget(AddCombo("Combo10", &form_.Combo10, {"Relative", "Absolute"}), 1, 1);
  moveGrid->addWidget(AddEdit("Text2", &form_.Text2), 1, 2);
  Label24_ = new QLabel("(mm)", moves);
  Label24_->setObjectName("Label24");
  moveGrid->addWidget(Label24_, 1, 3);
  moveGrid->addWidget(new QLabel("Rel/Abs", moves), 2, 0);
  moveGrid->addWidget(AddCombo("Combo9", &form_.Combo9, {"Rel.", "Abs."}), 2, 1);
  lower->addWidget(moves);

  auto* units = new QGroupBox("Select Units", this);
  auto* unitBox = new QVBoxLayout(units);
  optionmm_ = new QRadioButton("mm", units);
  optionmm_->setObjectName("optionmm");
  OptionIn_ = new QRadioButton("In", units);
  OptionIn_->setObjectName("OptionIn");
  unitBox->addWidget(optionmm_);
  unitBox->addWidget(OptionIn_);
  unitBox->addWidget(new QLabel("Pulse Width", units));
  unitBox->addWidget(AddCombo("Combo4", &form_.Combo4));
  lower->addWidget(units);
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
  const int reverse[3] = {form_.XReverse, form_.YReverse, form_.ZReverse};
  for (int a = 0; a < 3; ++a) reverse_[a]->setChecked(reverse[a] != 0);
  for (int i = 0; i < 2; ++i) Check1_[i]->setChecked(form_.Check1[i] != 0);
  optionmm_->setChecked(form_.optionmm);
  OptionIn_->setChecked(form_.OptionIn);
  Label4_->setText(QString::fromStdString(form_.Label4));
  Label18_->setText(QString::fromStdString(form_.Label18));
  Label24_->setText(QString::fromStdString(form_.Label24));
  loading_ = false;
}

void FormSettings::UnitChosen(bool inch) {
  std::string bad;
  const bool ok = inch ? form_.OptionIn_Click(false, &bad) : form_.optionmm_Click(false, &bad);
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
