#include "gui/dialogs/check_report.h"

#include <QFontDatabase>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "core/machine/messages.h"

namespace brimo::gui {

CheckReport::CheckReport(QWidget* parent) : QDialog(parent) {
  setObjectName("CheckReport");
  setWindowTitle(msg::kCheckTitle);
  setModal(false);

  heading_ = new QLabel(this);
  heading_->setObjectName("CheckHeading");
  text_ = new QPlainTextEdit(this);
  text_->setObjectName("CheckText");
  text_->setReadOnly(true);
  text_->setLineWrapMode(QPlainTextEdit::NoWrap);
  text_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  auto* ok = new QPushButton("OK", this);
  ok->setObjectName("CheckOk");
  ok->setDefault(true);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(heading_);
  layout->addWidget(text_, 1);
  layout->addWidget(ok, 0, Qt::AlignRight);
  connect(ok, &QPushButton::clicked, this, &QDialog::hide);
  resize(640, 420);
}

void CheckReport::ShowFindings(const QString& heading, const QString& lines) {
  heading_->setText(heading);
  text_->setPlainText(lines);
  show();
  raise();
  activateWindow();
}

}  // namespace brimo::gui
