#include "gui/dialogs/about_box.h"

#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "core/machine/messages.h"

namespace brimo::gui {

AboutBox::AboutBox(QWidget* parent) : QDialog(parent) {
  setObjectName("AboutBox");
  setWindowTitle(QString("About ") + msg::kAppTitle);
  setModal(false);

  auto* name = new QLabel(msg::kAppTitle, this);
  name->setObjectName("lblTitle");
  QFont big = name->font();
  big.setPointSize(big.pointSize() + 6);
  big.setBold(true);
  name->setFont(big);
  auto* version = new QLabel(QString("Version %1").arg(BRIMO_VERSION), this);
  version->setObjectName("lblVersion");
  auto* what = new QLabel(
      "Controller for three-axis CNC mills whose stepper drives\n"
      "are wired to the PC's parallel port.",
      this);
  what->setObjectName("lblDescription");
  priority_ = new QLabel(this);
  priority_->setObjectName("lblPriority");
  priority_->setWordWrap(true);
  auto* ok = new QPushButton("OK", this);
  ok->setObjectName("Command1");
  ok->setDefault(true);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(name);
  layout->addWidget(version);
  layout->addWidget(what);
  layout->addWidget(priority_);
  layout->addSpacing(8);
  layout->addWidget(ok, 0, Qt::AlignRight);

  connect(ok, &QPushButton::clicked, this, &AboutBox::Command1_Click);
}

void AboutBox::SetPriorityText(const QString& text) { priority_->setText(text); }

void AboutBox::Command1_Click() {
  hide();
  emit dismissed();
}

}  // namespace brimo::gui
