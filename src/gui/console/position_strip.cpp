#include "gui/console/position_strip.h"

#include <QEvent>
#include <QFontMetrics>
#include <algorithm>
#include <initializer_list>

#include "core/control/operator_panels.h"
#include "core/interpreter/run_control.h"
#include "core/machine/core.h"
#include "gui/console/qt_window_port.h"
#include "gui/console/widget_place.h"

namespace brimo::gui {

namespace {

// The widest position a read-out shows whole in its own face; travel of the
// machines served stays well inside it.
constexpr const char* kWidestReadOut = "-12345.6789";

QLabel* ReadOut(QWidget* parent, const Twips& t, const QString& name, int x, int y) {
  auto* label = Place<QLabel>(parent, t, name, x, y, 64, 18, "0.0000");
  label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  label->setIndent(t.D(2));
  label->setAutoFillBackground(true);
  QPalette p = label->palette();
  p.setColor(QPalette::Window, Qt::white);
  label->setPalette(p);
  return label;
}

}  // namespace

PositionStrip::PositionStrip(Core& core, const Twips& t, QWidget* parent)
    : QWidget(parent), c_(core), t_(t) {
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

  LayOut();

  connect(SetPrg_, &QPushButton::clicked, this, &PositionStrip::SetPrg_Click);
  connect(ZeroPrg_, &QPushButton::clicked, this, &PositionStrip::ZeroPrg_Click);
  connect(Command11_, &QPushButton::clicked, this, &PositionStrip::Command11_Click);
  connect(Command12_, &QPushButton::clicked, this, &PositionStrip::Command12_Click);
  connect(Command10_, &QPushButton::clicked, this, &PositionStrip::Command10_Click);
  connect(Command1_, &QPushButton::clicked, this, &PositionStrip::Command1_Click);
}

void PositionStrip::changeEvent(QEvent* event) {
  QWidget::changeEvent(event);
  if (event->type() == QEvent::FontChange) LayOut();
}

void PositionStrip::LayOut() {
  const QFontMetrics fm(font());
  // At least the designed width; wider where the caption needs it (not the
  // style's preferred button width, which would waste the strip).
  auto wide = [&](int px96, std::initializer_list<QWidget*> ws) {
    int w = t_.D(px96);
    for (QWidget* x : ws) {
      if (auto* label = qobject_cast<QLabel*>(x)) w = std::max(w, label->sizeHint().width());
      if (auto* button = qobject_cast<QPushButton*>(x))
        w = std::max(w, fm.horizontalAdvance(button->text()) + t_.D(12));
    }
    return w;
  };
  const int frame = PrgOutlbl_[0]->frameWidth();
  const int readW = std::max(t_.D(64), fm.horizontalAdvance(kWidestReadOut) + 2 * frame +
                                           PrgOutlbl_[0]->indent() + t_.D(2));
  const int prgNameW = wide(66, {AxisName_[0], AxisName_[1], AxisName_[2]});
  const int machNameW = wide(68, {AxisName_[3], AxisName_[4], AxisName_[5]});
  const int smallW = wide(40, {SetPrg_, ZeroPrg_, Command11_, Command12_});
  const int bigW = wide(96, {Command10_, Command1_});
  auto column = [](QWidget* w, int x, int width) { w->setGeometry(x, w->y(), width, w->height()); };

  int x = t_.D(4);
  for (int i = 0; i < 3; ++i) {
    column(AxisName_[i], x, prgNameW);
    column(PrgOutlbl_[i], x + prgNameW, readW);
  }
  x += prgNameW + readW + t_.D(4);
  column(SetPrg_, x, smallW);
  column(ZeroPrg_, x, smallW);
  x += smallW + t_.D(8);
  for (int i = 0; i < 3; ++i) {
    column(AxisName_[5 - i], x, machNameW);
    column(MachOutLl_[i], x + machNameW, readW);
  }
  x += machNameW + readW + t_.D(4);
  column(Command11_, x, smallW);
  column(Command12_, x, smallW);
  x += smallW + t_.D(8);
  column(Command10_, x, bigW);
  column(Command1_, x, bigW);
  setMinimumWidth(x + bigW + t_.D(4));  // the window never cuts "Pause"
}

void PositionStrip::ShowWhole(QLabel* readOut, const QString& text) {
  // Right-aligned text too wide for the label would lose its left end.
  const int room = readOut->contentsRect().width() - readOut->indent();
  const int advance = QFontMetrics(font()).horizontalAdvance(text);
  if (advance > room && room > 0 && font().pointSizeF() > 1) {
    QFont smaller = font();
    // Glyph widths do not scale exactly with the size: shrink until it fits.
    for (int w = advance; w > room && smaller.pointSizeF() > 1;
         w = QFontMetrics(smaller).horizontalAdvance(text))
      smaller.setPointSizeF(std::max(1.0, smaller.pointSizeF() * room / w - 0.25));
    readOut->setFont(smaller);
  } else if (readOut->testAttribute(Qt::WA_SetFont)) {
    readOut->setFont(QFont());  // back to the strip's face
  }
  readOut->setText(text);
}

void PositionStrip::SetPositionTexts(const std::string prg[3], const std::string mach[3]) {
  for (int i = 0; i < 3; ++i) {
    ShowWhole(MachOutLl_[i], QString::fromStdString(mach[i]));
    ShowWhole(PrgOutlbl_[i], QString::fromStdString(prg[i]));
  }
  PrgOutlbl_[0]->repaint();
}

void PositionStrip::SetPrg_Click() {
  if (openCoordinates) openCoordinates(false);
}
void PositionStrip::ZeroPrg_Click() {
  PortOf(c_).CallCore([this] { brimo::ZeroProgram(c_); });
}
void PositionStrip::Command11_Click() {
  if (openCoordinates) openCoordinates(true);
}
void PositionStrip::Command12_Click() {
  PortOf(c_).CallCore([this] { brimo::ZeroMachine(c_); });
}
void PositionStrip::Command10_Click() {
  PortOf(c_).CallCore([this] { brimo::ResetProgram(c_); });
}

void PositionStrip::Command1_Click() {
  PortOf(c_).CallCore([this] { brimo::Pause(c_); });
}

}  // namespace brimo::gui
