// Picture2: the bottom strip of the main window. Program and machine
// position read-outs with their "Set" and "Zero" buttons, then "Reset
// Program" above "Pause". Read-outs are written only through SetPositionTexts
// (the core's ShowPositions).
#pragma once

#include <QLabel>
#include <QPushButton>
#include <QWidget>
#include <functional>
#include <string>

#include "gui/console/twips.h"

namespace brimo {
struct Core;
}

namespace brimo::gui {

class PositionStrip : public QWidget {
  Q_OBJECT

 public:
  // Opens the coordinate dialog for machine (true) or program coordinates.
  std::function<void(bool machine)> openCoordinates;
  PositionStrip(Core& core, const Twips& twips, QWidget* parent = nullptr);

  // Six read-outs, already formatted; PrgOutlbl(0) is repainted at once so
  // the value changes even while a long move keeps the window busy.
  void SetPositionTexts(const std::string prg[3], const std::string mach[3]);

 public slots:
  void SetPrg_Click();     // program coordinates dialog
  void ZeroPrg_Click();    // zero program coordinates
  void Command11_Click();  // machine coordinates dialog
  void Command12_Click();  // zero machine coordinates
  void Command10_Click();  // "Reset Program"
  void Command1_Click();   // "Pause"

 protected:
  void changeEvent(QEvent* event) override;

 private:
  // Columns left to right, their widths from the font: a read-out holds
  // "-12345.6789" whole, labels and buttons their captions. The strip's
  // minimum width ends after "Reset Program" and "Pause".
  void LayOut();
  // Writes a read-out; text wider than the read-out is drawn in a smaller
  // face rather than losing its sign or leading digits.
  void ShowWhole(QLabel* readOut, const QString& text);

  Core& c_;
  Twips t_;
  QLabel* AxisName_[6];
  QLabel* PrgOutlbl_[3];
  QLabel* MachOutLl_[3];
  QPushButton* SetPrg_;
  QPushButton* ZeroPrg_;
  QPushButton* Command11_;
  QPushButton* Command12_;
  QPushButton* Command10_;
  QPushButton* Command1_;
};

}  // namespace brimo::gui
