// AboutBox: product name and version. Not modal; its button hides it and
// gives the keyboard focus back to the plot window (through `dismissed`).
#pragma once

#include <QDialog>

class QLabel;

namespace brimo::gui {

class AboutBox : public QDialog {
  Q_OBJECT

 public:
  explicit AboutBox(QWidget* parent = nullptr);
  // How the pulses are timed (real-time priority or why not).
  void SetPriorityText(const QString& text);

 signals:
  void dismissed();

 public slots:
  void Command1_Click();  // "OK"

 private:
  QLabel* priority_;
};

}  // namespace brimo::gui
