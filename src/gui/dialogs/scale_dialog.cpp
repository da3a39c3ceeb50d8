#include "gui/dialogs/scale_dialog.h"

#include <QComboBox>
#include <QEvent>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>

#include "core/forms/scale_factors.h"

namespace brimo::gui {

ScaleForm::ScaleForm(ScaleFactors& model, std::function<void(const std::string&)> tell,
                     QWidget* parent)
    : QDialog(parent), m_(model), tell_(std::move(tell)) {
  setObjectName("ScaleForm");
  setWindowTitle("Scale Factors");
  setModal(false);
  auto* grid = new QGridLayout(this);
  const char* captions[4] = {"Scale Factor Feedrate", "Scale Factor X-Axis", "Scale Factor Y-Axis",
                             "Scale Factor Z-Axis"};
  for (int i = 0; i < 4; ++i) {
    auto* label = new QLabel(captions[i], this);
    label->setObjectName(QString("Label1_%1").arg(i));
    Combo1_[i] = new QComboBox(this);
    Combo1_[i]->setObjectName(QString("Combo1_%1").arg(i));
    Combo1_[i]->setEditable(true);
    Combo1_[i]->setInsertPolicy(QComboBox::NoInsert);
    Combo1_[i]->setMinimumWidth(150);
    connect(Combo1_[i], &QComboBox::editTextChanged, this, [this, i](const QString& t) {
      if (!showing_) m_.factorTexts[i] = t.toStdString();
    });
    grid->addWidget(label, i, 0);
    grid->addWidget(Combo1_[i], i, 1);
  }
  auto button = [this](const char* name, const char* caption) {
    auto* b = new QPushButton(caption, this);
    b->setObjectName(name);
    return b;
  };
  QPushButton* def = button("Command1", "Default");
  QPushButton* toIn = button("Command5", "Converts all from mm to In");
  QPushButton* toMm = button("Command4", "Converts all from   In to mm");
  QPushButton* ok = button("Command2", "Ok");
  QPushButton* cancel = button("Command3", "Cancel");
  grid->addWidget(def, 4, 0);
  grid->addWidget(toIn, 5, 0, 1, 2);
  grid->addWidget(toMm, 6, 0, 1, 2);
  grid->addWidget(ok, 7, 0);
  grid->addWidget(cancel, 7, 1);
  connect(def, &QPushButton::clicked, this, &ScaleForm::Command1_Click);
  connect(toIn, &QPushButton::clicked, this, &ScaleForm::Command5_Click);
  connect(toMm, &QPushButton::clicked, this, &ScaleForm::Command4_Click);
  connect(ok, &QPushButton::clicked, this, &ScaleForm::Command2_Click);
  connect(cancel, &QPushButton::clicked, this, &ScaleForm::Command3_Click);
  ShowFields();
}

void ScaleForm::ShowFields() {
  showing_ = true;
  for (int i = 0; i < 4; ++i) Combo1_[i]->setEditText(QString::fromStdString(m_.factorTexts[i]));
  showing_ = false;
}

bool ScaleForm::event(QEvent* e) {
  if (e->type() == QEvent::WindowActivate) m_.TakeCopy();
  return QDialog::event(e);
}

void ScaleForm::Command1_Click() {
  m_.SetAllToOne();
  ShowFields();
}

void ScaleForm::Command4_Click() {
  m_.InchesToMm();
  ShowFields();
}

void ScaleForm::Command5_Click() {
  m_.MmToInches();
  ShowFields();
}

void ScaleForm::Command2_Click() {
  std::string message;
  if (!m_.Validate(message)) {
    tell_(message);
    return;
  }
  hide();
  if (onOk) onOk();
}

void ScaleForm::Command3_Click() {
  m_.RestoreCopy();
  ShowFields();
  hide();
}

}  // namespace brimo::gui
