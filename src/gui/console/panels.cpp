#include "gui/console/panels.h"

#include "core/control/operator_panels.h"
#include "core/interpreter/dispatch.h"
#include "core/interpreter/parser.h"
#include "core/interpreter/run_control.h"
#include "core/machine/core.h"
#include "core/machine/messages.h"
#include "core/machine/settings_form.h"
#include "core/machine/settings_table.h"
#include "gui/console/qt_window_port.h"
#include "gui/console/widget_place.h"

namespace brimo::gui {

// ---- Frame1(0) "Go To end of Line" -------------------------------------------

LinePanel::LinePanel(Core& core, const Twips& t, QWidget* parent)
    : QGroupBox("Go To end of Line", parent), c_(core) {
  setObjectName(ControlName("Frame1", 0));
  Command5_ =
      Place<QPushButton>(this, t, "Command5", 8, 22, 176, 26, "Move machine to end of line");
  Text1_ = Place<QLineEdit>(this, t, "Text1", 8, 54, 176, 22, "");
  Command6_ = Place<QPushButton>(this, t, "Command6", 8, 84, 176, 26, "Step back in program");
  Command3_ = Place<QPushButton>(this, t, "Command3", 8, 116, 70, 26, "Reset");
  StepFwd_ = Place<QPushButton>(this, t, ControlName("StepFwd", 0), 8, 148, 176, 26,
                                "Step forward in program");
  Timer1_ = new QTimer(this);
  Timer1_->setObjectName("Timer1");

  connect(Command5_, &QPushButton::clicked, this, &LinePanel::Command5_Click);
  connect(Command6_, &QPushButton::clicked, this, &LinePanel::Command6_Click);
  connect(Command3_, &QPushButton::clicked, this, &LinePanel::Command3_Click);
  connect(StepFwd_, &QPushButton::clicked, this, [this] { StepFwd_Click(0); });
  connect(StepFwd_, &QPushButton::pressed, this, [this] { StepFwd_MouseDown(0); });
  connect(StepFwd_, &QPushButton::released, this, [this] { StepFwd_MouseUp(0); });
  connect(Timer1_, &QTimer::timeout, this, &LinePanel::Timer1_Timer);
}

void LinePanel::Command5_Click() {
  PortOf(c_).StartMotion([this] {
    if (c_.ms.Running) return c_.win.Beep();
    brimo::MoveToPreviewedLine(c_);
  });
}

void LinePanel::Command6_Click() {
  PortOf(c_).CallCore([this] {
    if (c_.ms.Running) return c_.win.Beep();
    brimo::PreviewPreviousLine(c_);
  });
}

void LinePanel::Command3_Click() {
  PortOf(c_).CallCore([this] {
    if (c_.ms.Running) return c_.win.Beep();
    brimo::ResetPreview(c_);
  });
}

void LinePanel::StepFwd_Click(int) {
  // The preview moves nothing; while the machine moves it is refused.
  if (stepping_ || PortOf(c_).MotionBusy()) return;
  stepping_ = true;
  brimo::PreviewNextLine(c_);
  stepping_ = false;
}

void LinePanel::StepFwd_MouseDown(int) {
  Timer1_->setInterval(500);
  Timer1_->start();
}

void LinePanel::StepFwd_MouseUp(int) { Timer1_->stop(); }

void LinePanel::Timer1_Timer() {
  // The release may have been swallowed by a message box: repeat only while
  // the button is really held.
  if (!StepFwd_->isDown()) {
    Timer1_->stop();
    return;
  }
  Timer1_->setInterval(50);
  if (stepping_) return;  // a tick due while a step still runs is skipped
  StepFwd_Click(0);
}

// ---- Frame1(1) "Jogging" -------------------------------------------------------

JogPanel::JogPanel(Core& core, const Twips& t, QWidget* parent)
    : QGroupBox("Jogging", parent), c_(core) {
  setObjectName(ControlName("Frame1", 1));
  struct Button {
    int index;
    const char* caption;
    int x, y;
  };
  // Z column on the left ("Z +" above "Z -"), X/Y cross on the right.
  const Button buttons[6] = {{6, "Z +", 10, 24}, {1, "Z -", 10, 84},  {3, "Y +", 104, 22},
                             {2, "X -", 62, 54}, {4, "X +", 146, 54}, {5, "Y -", 104, 86}};
  for (const Button& b : buttons) {
    QPushButton* button =
        Place<QPushButton>(this, t, ControlName("JogZ", b.index), b.x, b.y, 40, 30, b.caption);
    JogZ_[b.index] = button;
    const int index = b.index;
    // Only the left button presses and releases a push button.
    connect(button, &QPushButton::pressed, this,
            [this, index] { JogZ_MouseDown(index, Qt::LeftButton); });
    connect(button, &QPushButton::released, this,
            [this, index] { JogZ_MouseUp(index, Qt::LeftButton); });
  }
  const char* speeds[4] = {"Fast", "Med", "Slow", "Step"};
  for (int i = 0; i < 4; ++i)
    Option1_[i] =
        Place<QRadioButton>(this, t, ControlName("Option1", i), 8 + 45 * i, 130, 45, 20, speeds[i]);
  Option1_[2]->setChecked(true);
}

int JogPanel::SpeedIndex() const {
  for (int i = 0; i < 4; ++i)
    if (Option1_[i]->isChecked()) return i;
  return 2;
}

namespace {
int ButtonOf(Qt::MouseButton b) {
  return b == Qt::LeftButton ? kLeftButton : b == Qt::RightButton ? kRightButton : kMiddleButton;
}
}  // namespace

void JogPanel::JogZ_MouseDown(int index, Qt::MouseButton button) {
  const int b = ButtonOf(button);
  const auto speed = static_cast<JogSpeed>(SpeedIndex());
  PortOf(c_).StartMotion([this, index, b, speed] { brimo::Jog(c_, index, b, speed); });
}

void JogPanel::JogZ_MouseUp(int index, Qt::MouseButton button) {
  const int b = ButtonOf(button);
  const auto speed = static_cast<JogSpeed>(SpeedIndex());
  PortOf(c_).CallCore([this, index, b, speed] { brimo::EndJog(c_, index, b, speed); });
}

// ---- Frame1(3) "Run" -------------------------------------------------------------

RunPanel::RunPanel(Core& core, const Twips& t, QWidget* parent)
    : QGroupBox("Run", parent), c_(core) {
  setObjectName(ControlName("Frame1", 3));
  Command7_ = Place<QPushButton>(this, t, "Command7", 8, 20, 100, 30, "Execute Program");
  Option3_ = Place<QRadioButton>(this, t, "Option3", 112, 18, 76, 18, "Continous");
  Option2_ = Place<QRadioButton>(this, t, "Option2", 112, 36, 76, 18, "Step");

  Place<QLabel>(this, t, "Label3", 8, 58, 84, 16, "%Overide");
  Overide_ = Place<QComboBox>(this, t, "Overide", 8, 76, 84, 22);
  Overide_->setEditable(true);
  Overide_->addItems({"100", "200", "300", "400", "500"});
  Overide_->setCurrentIndex(0);
  Overide_->setInsertPolicy(QComboBox::NoInsert);
  // No completion from the list: typed "50" must never become "500".
  Overide_->setCompleter(nullptr);
  Command8_[0] = Place<QPushButton>(this, t, ControlName("Command8", 0), 100, 56, 84, 22, "Faster");
  Command8_[1] = Place<QPushButton>(this, t, ControlName("Command8", 1), 100, 80, 84, 22, "Slower");

  // Programmed feed (left) and the feed in force (right).
  Place<QLabel>(this, t, "Label4", 8, 108, 176, 16, "Program Feedrate");
  Text3_ = Place<QLineEdit>(this, t, "Text3", 8, 126, 84, 22, "0");
  Text2_ = Place<QLineEdit>(this, t, "Text2", 100, 126, 84, 22, "0");

  Check1_ = Place<QCheckBox>(this, t, "Check1", 8, 158, 176, 20, "Update On/Off");
  Check2_ = Place<QCheckBox>(this, t, "Check2", 8, 180, 88, 20, "Offline");
  Check3_ = Place<QCheckBox>(this, t, "Check3", 100, 180, 84, 20, msg::kFastCaption);
  Check3_->setToolTip(msg::kFastTip);

  connect(Command7_, &QPushButton::clicked, this, &RunPanel::Command7_Click);
  connect(Option2_, &QRadioButton::clicked, this, &RunPanel::Option2_Click);
  connect(Option3_, &QRadioButton::clicked, this, &RunPanel::Option3_Click);
  // Typing changes nothing until Enter or leaving the box (no slot on
  // editTextChanged): the feed display must not jump with each digit.
  connect(Overide_, &QComboBox::activated, this, &RunPanel::Overide_Click);
  for (int i = 0; i < 2; ++i) {
    connect(Command8_[i], &QPushButton::clicked, this, [this, i] { Command8_Click(i); });
    connect(Command8_[i], &QPushButton::released, this, [this, i] { Command8_MouseUp(i); });
  }
  connect(Check1_, &QCheckBox::clicked, this, &RunPanel::Check1_Click);
  connect(Text3_, &QLineEdit::textChanged, this, &RunPanel::Text3_Change);
  connect(Overide_->lineEdit(), &QLineEdit::editingFinished, this,
          &RunPanel::Overide_EditingFinished);
  // Enter also gives the keyboard back to the plot, as a list choice does.
  connect(Overide_->lineEdit(), &QLineEdit::returnPressed, this, [this] {
    Overide_EditingFinished();
    c_.win.FocusPlot();
  });
  connect(Check2_, &QCheckBox::clicked, this, &RunPanel::Check2_Click);
  connect(Check3_, &QCheckBox::clicked, this, &RunPanel::Check3_Click);
}

void RunPanel::Command7_Click() {
  PortOf(c_).StartMotion([this] { brimo::Execute(c_); });
}
void RunPanel::Option2_Click() {
  PortOf(c_).CallCore([this] { brimo::SelectStepMode(c_); });
}
void RunPanel::Option3_Click() {
  PortOf(c_).CallCore([this] { brimo::SelectContinuous(c_); });
}

void RunPanel::QuickDisplay() {
  // Ignores rapids and the rate cap; the next SetFeed shows the real feed.
  Text2_->setText(QString::fromStdString(
      QuickFeedText(LeadingNumber(Text3_->text().toStdString()), override_)));
}

void RunPanel::TakeOverride(double percent) {
  const double before = override_;
  override_ = percent;
  // A move under way changes speed at its next pulse, unless the change
  // would space its pulses more than a minute apart: then the value in
  // force stays, in the box too. During motion the change is taken on the
  // motion thread, which reads the new value only from then on.
  QtWindowPort& port = PortOf(c_);
  port.CallCore([this, &port, percent, before] {
    port.SetOverrideForMotion(percent);
    if (OverrideFeed(c_)) return;
    port.SetOverrideForMotion(before);
    port.OnWindowThread([this, percent, before] {
      if (override_ != percent) return;  // changed again meanwhile
      override_ = before;
      Overide_->setEditText(QString::fromStdString(NumberText(override_)));
      QuickDisplay();
    });
  });
  Overide_->setEditText(QString::fromStdString(NumberText(override_)));
  QuickDisplay();
}

void RunPanel::Overide_EditingFinished() {
  double p = 0;
  if (ParseOverride(Overide_->currentText().toStdString(), p)) {
    // Enter and the loss of focus may both report one edit: take it once.
    if (p != override_) TakeOverride(p);
    return;
  }
  // Back to the value in force before telling, so a second report of the
  // same edit (the message box takes the focus) finds nothing to refuse.
  Overide_->setEditText(QString::fromStdString(NumberText(override_)));
  if (PortOf(c_).MotionBusy()) {
    // No modal box in the middle of a cut: it would hold the tool in place.
    c_.win.Beep();
    c_.win.ShowStatus(msg::kOverrideBad);
  } else {
    c_.win.Message(msg::kOverrideBad, msg::kOverrideTitle);
  }
}

void RunPanel::Overide_Click() {
  Overide_EditingFinished();  // the chosen entry is taken as typed text is
  c_.win.FocusPlot();         // so a key press can still stop a run
}

void RunPanel::Command8_Click(int index) {
  // 2 points whatever the list says (100 becomes 102), within 2..500.
  TakeOverride(OverrideAfterButton(override_, index));
}

void RunPanel::Text3_Change() { QuickDisplay(); }

void RunPanel::Command8_MouseUp(int) { c_.win.FocusPlot(); }

void RunPanel::Check1_Click() { c_.win.FocusPlot(); }

void RunPanel::Check2_Click() {
  const bool ticked = Check2_->isChecked();
  PortOf(c_).CallCore([this, ticked] { brimo::SetOffline(c_, ticked); });
}

void RunPanel::Check3_Click() {
  // Taken at once, during an offline run too: the change reaches the run at
  // its next pulse (on the motion thread), which goes on paced or unpaced.
  const bool ticked = Check3_->isChecked();
  PortOf(c_).CallCore([this, ticked] { c_.ms.OfflineFast = ticked; });
  c_.win.FocusPlot();
}

// ---- Frame1(4) "Home" -------------------------------------------------------------

HomePanel::HomePanel(Core& core, const Twips& t, QWidget* parent)
    : QGroupBox("Home", parent), c_(core) {
  setObjectName(ControlName("Frame1", 4));
  Place<QLabel>(this, t, "Label1", 8, 24, 60, 18, "Move:");
  Combo1_ = Place<QComboBox>(this, t, ControlNameOf(&SettingsForm::HomeMoveKind), 72, 22, 112, 22);
  Combo1_->setEditable(true);
  Combo1_->addItems({"Rapid", "Feedrate"});
  Combo1_->setInsertPolicy(QComboBox::NoInsert);
  Combo1_->setEditText("Rapid");
  Place<QLabel>(this, t, "Label2", 8, 50, 60, 18, "Feedrate:");
  Text6_ =
      Place<QLineEdit>(this, t, ControlNameOf(&SettingsForm::HomeFeedrate), 72, 48, 112, 22, "100");
  Text6_->setEnabled(false);
  const char* refs[3] = {"Using Home Switchs", "Using Program Zero", "Using Machine Zero"};
  for (int i = 0; i < 3; ++i)
    Option4_[i] = Place<QRadioButton>(this, t, ControlNameOf(kHomeReferences[i]), 8, 78 + 22 * i,
                                      176, 20, refs[i]);
  Option4_[0]->setChecked(true);
  Command9_ = Place<QPushButton>(this, t, "Command9", 8, 150, 176, 28, "Home the Machine");

  connect(Combo1_, &QComboBox::editTextChanged, this, &HomePanel::Combo1_Change);
  connect(Combo1_, &QComboBox::activated, this, &HomePanel::Combo1_Click);
  connect(Command9_, &QPushButton::clicked, this, &HomePanel::Command9_Click);
}

void HomePanel::ShowForm(const SettingsForm& form) {
  // A file may hold no choice at all: the group must then show none.
  for (int i = 0; i < 3; ++i) Option4_[i]->setAutoExclusive(false);
  for (int i = 0; i < 3; ++i) Option4_[i]->setChecked(form.*kHomeReferences[i]);
  for (int i = 0; i < 3; ++i) Option4_[i]->setAutoExclusive(true);
  Combo1_->setEditText(QString::fromStdString(form.HomeMoveKind));
  Text6_->setText(QString::fromStdString(form.HomeFeedrate));
  Combo1_Change();
}

void HomePanel::TakeForm(SettingsForm& form) const {
  for (int i = 0; i < 3; ++i) form.*kHomeReferences[i] = Option4_[i]->isChecked();
  form.HomeMoveKind = Combo1_->currentText().toStdString();
  form.HomeFeedrate = Text6_->text().toStdString();
}

void HomePanel::Combo1_Change() { Text6_->setEnabled(Combo1_->currentText() != "Rapid"); }

void HomePanel::Combo1_Click() { Combo1_Change(); }

void HomePanel::Command9_Click() {
  SettingsForm home;
  TakeForm(home);
  // The motion thread works on this copy: the panel may be edited meanwhile.
  PortOf(c_).StartMotion([this, home] { brimo::Home(c_, home); });
}

}  // namespace brimo::gui
