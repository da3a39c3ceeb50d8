// Set_Prg_cord: the "Set Program Coordinates" / "Set Machine Coordinates"
// dialog, bound to the CoordinateDialog model. Not modal; "OK" writes the
// axes the operator changed, "Cancel" discards.
#pragma once

#include <QDialog>

#include "core/control/operator_panels.h"

class QComboBox;

namespace brimo {
struct Core;
}

namespace brimo::gui {

class Set_Prg_cord : public QDialog {
  Q_OBJECT

 public:
  explicit Set_Prg_cord(Core& core, QWidget* parent = nullptr);
  // SetPrg_Click (program) / Command11_Click (machine): fill and show.
  void Open(bool machine);
  const CoordinateDialog& Model() const { return m_; }

 public slots:
  void Combo1_LostFocus(int index);
  void Command4_Click(int index);  // "Zero X/Y/Z"
  void Command3_Click();           // "Zero all"
  void Command1_Click();           // "OK"
  void Command2_Click();           // "Cancel"

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void ShowFields();
  Core& c_;
  CoordinateDialog m_;
  QComboBox* Combo1_[3];
  bool showing_ = false;
};

}  // namespace brimo::gui
