// CheckReport: the findings of Options > Check program, every one of them,
// in a read-only list the operator can scroll and copy from. Not modal: it
// may stay open beside the plot while the program is looked at.
#pragma once

#include <QDialog>

class QPlainTextEdit;
class QLabel;

namespace brimo::gui {

class CheckReport : public QDialog {
  Q_OBJECT

 public:
  explicit CheckReport(QWidget* parent = nullptr);

  // Shows `heading` above `lines` (one finding per line) and raises the window.
  void ShowFindings(const QString& heading, const QString& lines);

 private:
  QLabel* heading_;
  QPlainTextEdit* text_;
};

}  // namespace brimo::gui
