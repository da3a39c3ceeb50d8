#include "gui/dialogs/safety_dialog.h"

#include <QGridLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>

namespace brimo::gui {

namespace {

constexpr const char* kNotice =
    "A computer-controlled machine tool is potentially dangerous.\n"
    "\n"
    "While the CNC machine runs, you are responsible for your own safety and "
    "for the safety of everybody near it. Safe use of the BrimoCNC software "
    "and of the machine requires the following guidelines:\n"
    "\n"
    "1. Never leave the machine unattended while it is running.\n"
    "\n"
    "2. Anyone in the room wears safety goggles and keeps a safe distance "
    "from the machine.\n"
    "\n"
    "3. Only trained operators run the machine: people who know machine tool "
    "operation, personal computers and the operating system.\n"
    "\n"
    "4. Put guards around the machine against flying objects, preferably a "
    "transparent shield.\n"
    "\n"
    "5. Keep every part of your body out of the tool's working envelope while "
    "the machine is online.\n"
    "\n"
    "6. Keep the working envelope tidy and free of loose objects.\n"
    "\n"
    "7. Be alert for computer crashes.\n"
    "\n"
    "8. If you do not understand and agree with all of the guidelines above, "
    "choose \"Go Offline\" below.\n";

}  // namespace

SafetyDialog::SafetyDialog(QWidget* parent) : QDialog(parent) {
  setObjectName("Dialog");
  setWindowTitle(QString(30, QLatin1Char(' ')) + "Welcome to BrimoCNC");
  setModal(true);

  auto* heading = new QLabel("BrimoCNC safety agreement", this);
  heading->setObjectName("Label1");
  QFont bold = heading->font();
  bold.setBold(true);
  bold.setPointSize(bold.pointSize() + 2);
  heading->setFont(bold);

  auto* notice = new QPlainTextEdit(kNotice, this);
  notice->setObjectName("Text1");
  notice->setReadOnly(true);
  notice->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  notice->setMinimumSize(440, 260);

  auto* offline = new QPushButton("Go Offline", this);
  offline->setObjectName("Command2");
  auto* agree = new QPushButton("I Agree", this);
  agree->setObjectName("Command1");
  agree->setAutoDefault(false);
  offline->setAutoDefault(false);

  auto* grid = new QGridLayout(this);
  grid->addWidget(heading, 0, 0, 1, 3);
  grid->addWidget(notice, 1, 0, 1, 3);
  grid->addWidget(offline, 2, 0, Qt::AlignLeft);
  grid->setColumnStretch(1, 1);
  grid->addWidget(agree, 2, 2, Qt::AlignRight);

  connect(agree, &QPushButton::clicked, this, &SafetyDialog::Command1_Click);
  connect(offline, &QPushButton::clicked, this, &SafetyDialog::Command2_Click);
}

bool SafetyDialog::AskOffline() { return exec() != QDialog::Accepted; }

void SafetyDialog::Command1_Click() { accept(); }

// Also reached by closing through the frame or Escape (QDialog rejects).
void SafetyDialog::Command2_Click() { reject(); }

}  // namespace brimo::gui
