// FormSettings ("Settings"): the editing surface of the machine settings,
// bound to the SettingsForm model. Every edit goes straight into the model,
// so the configuration written at the end of the program holds what the
// dialog shows, also after "Cancel" (which only hides). "Ok" checks, saves
// and loads (ApplySettingsOk). Not modal.
#pragma once

#include <QDialog>
#include <QString>
#include <functional>
#include <vector>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QRadioButton;

namespace brimo {
struct Core;
struct SettingsForm;
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
  QComboBox* AddCombo(const QString& name, std::string* text, const QStringList& list = {});
  QLineEdit* AddEdit(const QString& name, std::string* text);
  void UnitChosen(bool inch);

  Core& c_;
  SettingsForm& form_;
  QString folder_;
  std::vector<TextField> fields_;
  QCheckBox* reverse_[3];
  QCheckBox* Check1_[2];
  QRadioButton* optionmm_;
  QRadioButton* OptionIn_;
  QLabel* Label4_;
  QLabel* Label18_;
  QLabel* Label24_;
  bool loading_ = false;
};

}  // namespace brimo::gui
