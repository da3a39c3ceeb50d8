#include "gui/console/control_panel.h"

#include "gui/console/widget_place.h"

namespace brimo::gui {

ControlPanel::ControlPanel(Core& core, const Twips& t, QWidget* parent) : QWidget(parent) {
  setObjectName("Picture1");

  // Selector, left to right: Run, Home, Point, Jog, Line. The button index
  // is the index of the panel it shows.
  const int order[5] = {3, 4, 2, 1, 0};
  const char* captions[5] = {"Line", "Jog", "Point", "Run", "Home"};
  for (int slot = 0; slot < 5; ++slot) {
    const int index = order[slot];
    Command4_[index] = Place<QPushButton>(this, t, ControlName("Command4", index), 4 + 38 * slot, 4,
                                          38, 24, captions[index]);
    connect(Command4_[index], &QPushButton::clicked, this,
            [this, index] { Command4_Click(index); });
  }

  line_ = new LinePanel(core, t, this);
  jog_ = new JogPanel(core, t, this);
  auto* point = new QGroupBox("Point", this);
  point->setObjectName(ControlName("Frame1", 2));
  run_ = new RunPanel(core, t, this);
  home_ = new HomePanel(core, t, this);
  frames_[0] = line_, frames_[1] = jog_, frames_[2] = point, frames_[3] = run_, frames_[4] = home_;
  for (QGroupBox* frame : frames_) frame->setGeometry(t.D(4), t.D(32), t.D(192), t.D(212));

  Label7_ = Place<QLabel>(this, t, "Label7", 6, 250, 188, 16, "Line in progress");
  Text4_ = Place<QLineEdit>(this, t, "Text4", 4, 266, 192, 22, "");
  Text4_->setReadOnly(true);
  // Placed by the main window at the right end of its message line.
  RunTime_ = new QLabel(this);
  RunTime_->setObjectName("RunTime");
  // Nothing of the run panel or "Line in progress" is ever cut off.
  setMinimumHeight(Text4_->geometry().bottom() + 1 + t.D(4));

  Command4_Click(3);  // the run panel first
}

void ControlPanel::Command4_Click(int index) {
  if (index < 0 || index > 4) return;
  for (QGroupBox* frame : frames_) frame->setVisible(false);
  frames_[index]->setVisible(true);
}

}  // namespace brimo::gui
