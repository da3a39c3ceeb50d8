// Dialog: the safety agreement shown modally at start-up. "I Agree"
// (Command1) works with the machine; "Go Offline" (Command2) works without
// any output to the port. Closing the dialog through its frame (or Escape)
// counts as "Go Offline": the safe choice.
#pragma once

#include <QDialog>

namespace brimo::gui {

class SafetyDialog : public QDialog {
  Q_OBJECT

 public:
  explicit SafetyDialog(QWidget* parent = nullptr);
  // Shows the dialog modally; true when the operator chose to go offline
  // (by the button or by closing the dialog).
  bool AskOffline();

 public slots:
  void Command1_Click();  // "I Agree"
  void Command2_Click();  // "Go Offline"
};

}  // namespace brimo::gui
