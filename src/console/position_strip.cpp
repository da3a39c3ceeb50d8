#include "console/position_strip.h"

#include "console/operator_panels.h"
#include "console/widget_place.h"
#include "interpreter/run_control.h"
#include "machine/core.h"

namespace brimo::gui {

namespace {

QLabel* ReadOut(QWidget* parent, const Twips& t, const QString& name, int x, int y) {
  auto* label = Place<QLabel>(parent, t, name, x, y, 64, 18, "0.0000");
  label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  label->setAutoFillBackground(true);
  QPalette p = label->palette();
  p.setColor(QPalette::Window, Qt::white);
  label->setPalette(p);
  return label;
}

}  // namespace

PositionStrip::PositionStrip(Core& core, const Twips& t, QWidget* parent)
    : QWidget(parent), c_(core) {
  setObjectName("Picture2");
  // Rows of 20 pixels: X, Y, Z.
  const int rowY[3] = {3, 23, 43};
  const char* prgNames[3] = {"Program X:", "Program Y:", "Program Z:"};
  for (int i = 0; i < 3; ++i) {
    AxisName_[i] =
        Place<QLabel>(this, t, ControlName("AxisName", i), 4, rowY[i], 66, 18, prgNames[i]);
    PrgOutlbl_[i] = ReadOut(this, t, ControlName("PrgOutlbl", i), 70, rowY[i]);
  }
  SetPrg_ = Place<QPushButton>(this, t, "SetPrg", 138, 4, 40, 27, "Set");
  ZeroPrg_ = Place<QPushButton>(this, t, "ZeroPrg", 138, 34, 40, 27, "Zero");

  // Machine rows: AxisName(5) is X, (4) Y, (3) Z.
  const char* machNames[3] = {"Machine X:", "Machine Y:", "Machine Z:"};
  for (int i = 0; i < 3; ++i) {
    AxisName_[5 - i] =
        Place<QLabel>(this, t, ControlName("AxisName", 5 - i), 186, rowY[i], 68, 18, machNames[i]);
    MachOutLl_[i] = ReadOut(this, t, ControlName("MachOutLl", i), 254, rowY[i]);
  }
  Command11_ = Place<QPushButton>(this, t, "Command11", 322, 4, 40, 27, "Set");
  Command12_ = Place<QPushButton>(this, t, "Command12", 322, 34, 40, 27, "Zero");

  Command10_ = Place<QPushButton>(this, t, "Command10", 370, 4, 96, 27, "Reset Program");
  Command1_ = Place<QPushButton>(this, t, "Command1", 370, 34, 96, 27, "Pause");

  connect(SetPrg_, &QPushButton::clicked, this, &PositionStrip::SetPrg_Click);
  connect(ZeroPrg_, &QPushButton::clicked, this, &PositionStrip::ZeroPrg_Click);
  connect(Command11_, &QPushButton::clicked, this, &PositionStrip::Command11_Click);
  connect(Command12_, &QPushButton::clicked, this, &PositionStrip::Command12_Click);
  connect(Command10_, &QPushButton::clicked, this, &PositionStrip::Command10_Click);
  connect(Command1_, &QPushButton::clicked, this, &PositionStrip::Command1_Click);
}

void PositionStrip::SetPositionTexts(const std::string prg[3], const std::string mach[3]) {
  for (int i = 0; i < 3; ++i) {
    MachOutLl_[i]->setText(QString::fromStdString(mach[i]));
    PrgOutlbl_[i]->setText(QString::fromStdString(prg[i]));
  }
  PrgOutlbl_[0]->repaint();
}

void PositionStrip::SetPrg_Click() {
  if (openCoordinates) openCoordinates(false);
}
void PositionStrip::ZeroPrg_Click() { brimo::ZeroPrg_Click(c_); }
void PositionStrip::Command11_Click() {
  if (openCoordinates) openCoordinates(true);
}
void PositionStrip::Command12_Click() { brimo::Command12_Click(c_); }
void PositionStrip::Command10_Click() { brimo::Command10_Click(c_); }

void PositionStrip::Command1_Click() { brimo::Command1_Click(c_); }

}  // namespace brimo::gui
