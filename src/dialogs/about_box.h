// AboutBox: product name and version. Not modal; its button hides it and
// gives the keyboard focus back to the plot window (through `dismissed`).
#pragma once

#include <QDialog>

namespace brimo::gui {

class AboutBox : public QDialog {
  Q_OBJECT

 public:
  explicit AboutBox(QWidget* parent = nullptr);

 signals:
  void dismissed();

 public slots:
  void Command1_Click();  // "OK"
};

}  // namespace brimo::gui
