// The five panels of the main window's right-hand side (Frame1(0)..(4)),
// one small class each. They lie on top of each other; the selector of
// ControlPanel shows one at a time. Slots are named after the handlers of
// their controls and forward to the core.
#pragma once

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>

#include "gui/console/twips.h"

namespace brimo {
struct Core;
struct SettingsForm;
}  // namespace brimo

namespace brimo::gui {

// Frame1(0) "Go To end of Line": step preview and the move to a line's end.
class LinePanel : public QGroupBox {
  Q_OBJECT

 public:
  LinePanel(Core& core, const Twips& twips, QWidget* parent = nullptr);
  QLineEdit* Text1() const { return Text1_; }
  QTimer* Timer1() const { return Timer1_; }

 public slots:
  void Command5_Click();          // "Move machine to end of line"
  void Command6_Click();          // "Step back in program"
  void Command3_Click();          // "Reset"
  void StepFwd_Click(int index);  // "Step forward in program"
  // Auto-repeat: a press arms Timer1 at 500 ms, each tick steps and
  // re-arms at 50 ms, the release stops it (its click steps once more).
  void StepFwd_MouseDown(int index);
  void StepFwd_MouseUp(int index);
  void Timer1_Timer();

 private:
  Core& c_;
  bool stepping_ = false;  // a step forward is running (ticks meanwhile are skipped)
  QPushButton* Command5_;
  QLineEdit* Text1_;
  QPushButton* Command6_;
  QPushButton* Command3_;
  QPushButton* StepFwd_;
  QTimer* Timer1_;
};

// Frame1(1) "Jogging": six direction buttons and the speed choice.
class JogPanel : public QGroupBox {
  Q_OBJECT

 public:
  JogPanel(Core& core, const Twips& twips, QWidget* parent = nullptr);
  QRadioButton* Option1(int i) const { return Option1_[i]; }
  // The selected speed ("Fast", "Med", "Slow" or "Step").
  int SpeedIndex() const;

 public slots:
  // index 1..6 (JogZ(1) "Z -" .. JogZ(6) "Z +"); the mouse button pressed.
  void JogZ_MouseDown(int index, Qt::MouseButton button);
  void JogZ_MouseUp(int index, Qt::MouseButton button);

 private:
  Core& c_;
  QPushButton* JogZ_[7] = {};  // no member 0
  QRadioButton* Option1_[4];
};

// Frame1(3) "Run": run controls, feed displays and override, the three boxes.
class RunPanel : public QGroupBox {
  Q_OBJECT

 public:
  RunPanel(Core& core, const Twips& twips, QWidget* parent = nullptr);
  QPushButton* Command7() const { return Command7_; }
  QComboBox* Overide() const { return Overide_; }
  QLineEdit* Text2() const { return Text2_; }
  QLineEdit* Text3() const { return Text3_; }
  QCheckBox* Check1() const { return Check1_; }
  QCheckBox* Check2() const { return Check2_; }
  QCheckBox* Check3() const { return Check3_; }
  // The override in force: the last valid number taken from the box
  // (2..500). Typed text counts only once the edit is finished.
  double OverridePercent() const { return override_; }

 public slots:
  void Command7_Click();             // "Execute Program"
  void Option2_Click();              // "Step"
  void Option3_Click();              // "Continous"
  void Overide_Click();              // override chosen from the list
  void Command8_Click(int index);    // 0 "Faster", 1 "Slower"
  void Command8_MouseUp(int index);  // focus back to the plot
  void Check1_Click();               // "Update On/Off": focus back to the plot
  void Check2_Click();               // "Offline": sets the offline flag
  void Check3_Click();               // "Fast": offline pulses unpaced
  void Text3_Change();               // the parser wrote the programmed feed
  // Enter or leaving the box: the typed text, exactly as typed, becomes the
  // override; text that is not 2..500 is refused and the last value stays.
  void Overide_EditingFinished();

 private:
  void QuickDisplay();
  // Puts `percent` in force: feed display and step rate, so a move under
  // way takes it at its next pulse.
  void TakeOverride(double percent);
  Core& c_;
  double override_ = 100;
  QPushButton* Command7_;
  QRadioButton* Option3_;
  QRadioButton* Option2_;
  QComboBox* Overide_;
  QPushButton* Command8_[2];
  QLineEdit* Text2_;
  QLineEdit* Text3_;
  QCheckBox* Check1_;
  QCheckBox* Check2_;
  QCheckBox* Check3_;  // not saved: unticked at every start
};

// Frame1(4) "Home": reference and move kind of the home move.
class HomePanel : public QGroupBox {
  Q_OBJECT

 public:
  HomePanel(Core& core, const Twips& twips, QWidget* parent = nullptr);
  // The stored choices into the controls (start-up) and back (before the
  // configuration is written).
  void ShowForm(const SettingsForm& form);
  void TakeForm(SettingsForm& form) const;

 public slots:
  void Combo1_Change();  // Text6 enabled exactly when the kind is not "Rapid"
  void Combo1_Click();
  void Command9_Click();  // "Home the Machine"

 private:
  Core& c_;
  QComboBox* Combo1_;
  QLineEdit* Text6_;
  QRadioButton* Option4_[3];
  QPushButton* Command9_;
};

}  // namespace brimo::gui
