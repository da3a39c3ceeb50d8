#include "gui/dialogs/coordinate_dialog.h"

#include <QComboBox>
#include <QEvent>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "core/machine/core.h"
#include "gui/console/qt_window_port.h"

namespace brimo::gui {

Set_Prg_cord::Set_Prg_cord(Core& core, QWidget* parent) : QDialog(parent), c_(core) {
  setObjectName("Set_Prg_cord");
  setWindowTitle(CoordinateDialog::kProgramCaption);
  setModal(false);
  auto* grid = new QGridLayout(this);
  const char* axes[3] = {"X", "Y", "Z"};
  const char* zero[3] = {"Zero X", "Zero Y", "Zero Z"};
  for (int i = 0; i < 3; ++i) {
    auto* label = new QLabel(axes[i], this);
    label->setObjectName(QString("Label1_%1").arg(i));
    Combo1_[i] = new QComboBox(this);
    Combo1_[i]->setObjectName(QString("Combo1_%1").arg(i));
    Combo1_[i]->setEditable(true);
    Combo1_[i]->setInsertPolicy(QComboBox::NoInsert);
    Combo1_[i]->setMinimumWidth(110);
    // The combo box, not its line edit: the line edit's focus proxy is the
    // box, which gets the focus-out event and hands it to the line edit by a
    // direct call that no event filter on the line edit ever sees.
    Combo1_[i]->installEventFilter(this);
    connect(Combo1_[i], &QComboBox::editTextChanged, this, [this, i](const QString& t) {
      if (!showing_) m_.Edit(i, t.toStdString());
    });
    auto* z = new QPushButton(zero[i], this);
    z->setObjectName(QString("Command4_%1").arg(i));
    connect(z, &QPushButton::clicked, this, [this, i] { Command4_Click(i); });
    grid->addWidget(label, i, 0);
    grid->addWidget(Combo1_[i], i, 1);
    grid->addWidget(z, i, 2);
  }
  auto button = [this](const char* name, const char* caption) {
    auto* b = new QPushButton(caption, this);
    b->setObjectName(name);
    return b;
  };
  QPushButton* all = button("Command3", "Zero all");
  QPushButton* ok = button("Command1", "OK");
  QPushButton* cancel = button("Command2", "Cancel");
  grid->addWidget(all, 3, 2);
  grid->addWidget(ok, 4, 1);
  grid->addWidget(cancel, 4, 2);
  connect(all, &QPushButton::clicked, this, &Set_Prg_cord::Command3_Click);
  connect(ok, &QPushButton::clicked, this, &Set_Prg_cord::Command1_Click);
  connect(cancel, &QPushButton::clicked, this, &Set_Prg_cord::Command2_Click);
}

void Set_Prg_cord::ShowFields() {
  showing_ = true;
  for (int i = 0; i < 3; ++i) Combo1_[i]->setEditText(QString::fromStdString(m_.fields[i]));
  setWindowTitle(QString::fromStdString(m_.caption));
  showing_ = false;
}

void Set_Prg_cord::Open(bool machine) {
  m_.Open(c_, machine);
  ShowFields();
  show();
  raise();
  activateWindow();
}

bool Set_Prg_cord::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::FocusOut)
    for (int i = 0; i < 3; ++i)
      if (watched == Combo1_[i]) Combo1_LostFocus(i);
  return QDialog::eventFilter(watched, event);
}

void Set_Prg_cord::Combo1_LostFocus(int i) {
  std::string why;
  // A non-number stays for the operator to mend; the message line says why
  // (a modal box here would take the focus again and again).
  if (!m_.LostFocus(i, &why)) c_.win.ShowStatus(why);
  ShowFields();
}

void Set_Prg_cord::Command4_Click(int i) {
  m_.Zero(i);
  ShowFields();
}

void Set_Prg_cord::Command3_Click() {
  m_.ZeroAll();
  ShowFields();
}

void Set_Prg_cord::Command1_Click() {
  // A refused "OK" (a field that is not a number) leaves the dialog open.
  // Refused while anything moves, as the core refuses it.
  if (PortOf(c_).MotionBusy()) return c_.win.Beep();
  if (m_.Ok(c_)) hide();
}

void Set_Prg_cord::Command2_Click() {
  // Discarded: the next opening fills the fields afresh.
  for (bool& ch : m_.changed) ch = false;
  hide();
}

}  // namespace brimo::gui
