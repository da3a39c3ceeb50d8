// Picture1: the right-hand side of the main window. A row of five selector
// buttons (Command4(3) "Run", (4) "Home", (2) "Point", (1) "Jog", (0)
// "Line"), the five panels Frame1(0)..(4) stacked at one place, and the
// "Line in progress" display Text4 below them.
#pragma once

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QWidget>

#include "gui/console/panels.h"
#include "gui/console/twips.h"

namespace brimo {
struct Core;
}

namespace brimo::gui {

class ControlPanel : public QWidget {
  Q_OBJECT

 public:
  ControlPanel(Core& core, const Twips& twips, QWidget* parent = nullptr);

  LinePanel* Line() const { return line_; }
  JogPanel* Jog() const { return jog_; }
  RunPanel* Run() const { return run_; }
  HomePanel* Home() const { return home_; }
  QGroupBox* Frame1(int index) const { return frames_[index]; }
  QLineEdit* Text4() const { return Text4_; }
  // Estimated run time of the loaded program (the main window shows it at
  // the right end of its message line).
  QLabel* RunTime() const { return RunTime_; }

 public slots:
  // Hides Frame1(0)..(4) in turn, then shows Frame1(index).
  void Command4_Click(int index);

 private:
  LinePanel* line_;
  JogPanel* jog_;
  RunPanel* run_;
  HomePanel* home_;
  QGroupBox* frames_[5];
  QPushButton* Command4_[5];
  QLabel* Label7_;
  QLineEdit* Text4_;
  QLabel* RunTime_;
};

}  // namespace brimo::gui
