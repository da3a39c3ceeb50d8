// ScaleForm ("Scale Factors"): the four factor fields bound to the
// ScaleFactors model. A copy is taken each time the dialog becomes active;
// "Cancel" puts it back. "Ok" checks the factors, hides the dialog and asks
// the owner (onOk) to redraw with them. Not modal.
#pragma once

#include <QDialog>
#include <functional>

class QComboBox;

namespace brimo {
struct ScaleFactors;
}

namespace brimo::gui {

class ScaleForm : public QDialog {
  Q_OBJECT

 public:
  ScaleForm(ScaleFactors& model, std::function<void(const std::string& message)> tell,
            QWidget* parent = nullptr);
  // Called after a successful "Ok", once the dialog is hidden.
  std::function<void()> onOk;
  void ShowFields();

 public slots:
  void Command1_Click();  // "Default"
  void Command4_Click();  // "Converts all from   In to mm"
  void Command5_Click();  // "Converts all from mm to In"
  void Command2_Click();  // "Ok"
  void Command3_Click();  // "Cancel"

 protected:
  bool event(QEvent* e) override;  // the model takes its copy on window activation

 private:
  ScaleFactors& m_;
  std::function<void(const std::string&)> tell_;
  QComboBox* Combo1_[4];
  bool showing_ = false;
};

}  // namespace brimo::gui
