// FormSettings ("Settings"): the editing surface of the machine settings,
// bound to the SettingsForm model. Every edit goes straight into the model;
// "Cancel" and closing the dialog put back every field as it was when the
// dialog was shown, so only "Ok" (check, save and load: ApplySettingsOk)
// lets an edit reach brimo.cfg or the machine. Not modal.
#pragma once

#include <QDialog>
#include <QString>
#include <functional>
#include <vector>

#include "core/machine/settings_form.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QRadioButton;

namespace brimo {
struct Core;
}  // namespace brimo

namespace brimo::gui {

class FormSettings : public QDialog {
  Q_OBJECT

 public:
  FormSettings(Core& core, SettingsForm& form, QString programFolder, QWidget* parent = nullptr);
  // Shows the model's current texts (after a configuration load).
  void LoadFromForm();
  // Called after a successful "Ok", once the dialog is hidden: the settings
  // in force (rates, unit, positions) may have changed.
  std::function<void()> onApplied;
  // "Cancel": while the dialog is shown, its fields go back to what they
  // were when it was shown; then it hides. Also run by closing the dialog
  // (Escape, the window's close button) and at the end of the program.
  void DiscardEdits();
  void reject() override;

 public slots:
  void OptionIn_Click();
  void optionmm_Click();
  void opsaetok_Click();
  void opsaetcancel_Click();

 private:
  struct TextField {
    QComboBox* combo = nullptr;  // or
    QLineEdit* edit = nullptr;
    std::string* text = nullptr;
  };
  struct CheckField {
    QCheckBox* box;
    int SettingsForm::*value;
  };
  struct LabelField {
    QLabel* label;
    std::string SettingsForm::*text;
  };
  // Each control is named and bound as kSettingLines / kUnitLabels say.
  QComboBox* AddCombo(std::string SettingsForm::*field, const QStringList& list = {});
  QLineEdit* AddEdit(std::string SettingsForm::*field);
  QCheckBox* AddCheck(int SettingsForm::*field, const QString& text, QWidget* parent);
  QLabel* AddLabel(QLabel* label, std::string SettingsForm::*field);
  void UnitChosen(bool inch);
  void showEvent(QShowEvent* event) override;

  Core& c_;
  SettingsForm& form_;
  QString folder_;
  std::vector<TextField> fields_;
  std::vector<CheckField> checks_;
  std::vector<LabelField> labels_;
  QRadioButton* optionmm_;
  QRadioButton* OptionIn_;
  bool loading_ = false;
  // The dialog's fields as they were when it was last shown.
  SettingsForm shown_;
};

}  // namespace brimo::gui
