// The main window's menus: File (open, exit), Setup > Settings, Options
// (scale, check program), View > Fit and Help > About, with the run-time
// estimate and the program check that a load, the settings and the scale
// factors start.
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMenuBar>
#include <QSettings>
#include <exception>
#include <string>
#include <vector>

#include "core/interpreter/draw_program.h"
#include "core/interpreter/run_control.h"
#include "core/machine/core.h"
#include "core/machine/messages.h"
#include "core/plot/plot_state.h"
#include "core/plot/toolpath.h"
#include "core/program/program_store.h"
#include "core/sim/program_check.h"
#include "core/sim/sim_engine.h"
#include "gui/console/control_panel.h"
#include "gui/console/main_window.h"
#include "gui/console/motion_thread.h"
#include "gui/console/qt_window_port.h"
#include "gui/console/run_time_estimator.h"
#include "gui/dialogs/about_box.h"
#include "gui/dialogs/check_report.h"
#include "gui/dialogs/scale_dialog.h"
#include "gui/dialogs/settings_dialog.h"
#include "gui/plot/path_view.h"

namespace brimo::gui {

void MDIForm1::BuildMenus() {
  QMenu* file = menuBar()->addMenu("&File");
  file->setObjectName("File_Menu");
  QAction* open = file->addAction("Open");
  open->setObjectName("Open_Menu");
  file->addSeparator()->setObjectName("space");
  QAction* exit = file->addAction("Exit");
  exit->setObjectName("Mnu_exit");

  QMenu* setup = menuBar()->addMenu("&Setup");
  setup->setObjectName("Setup_Menu");
  QAction* settings = setup->addAction("Settings");
  settings->setObjectName("Set_menu");

  QMenu* options = menuBar()->addMenu("&Options");
  options->setObjectName("Mnu_options");
  QAction* scale = options->addAction("Scale");
  scale->setObjectName("Mnu_Scale");
  QAction* check = options->addAction("Check program");
  check->setObjectName("Mnu_Check");

  QMenu* view = menuBar()->addMenu("&View");
  view->setObjectName("Menu_View");
  QAction* fit = view->addAction("Fit");
  fit->setObjectName("Mnu_Fit");
  fit->setCheckable(true);  // checked: extents from the end points only
  fit_ = fit;

  QMenu* help = menuBar()->addMenu("&Help");
  help->setObjectName("Mnu_Help");
  QAction* about = help->addAction("About");
  about->setObjectName("Mnu_About");

  connect(open, &QAction::triggered, this, &MDIForm1::Open_Menu_Click);
  connect(exit, &QAction::triggered, this, &MDIForm1::Mnu_exit_Click);
  connect(settings, &QAction::triggered, this, &MDIForm1::Set_menu_Click);
  connect(scale, &QAction::triggered, this, &MDIForm1::Mnu_Scale_Click);
  connect(check, &QAction::triggered, this, &MDIForm1::Mnu_Check_Click);
  connect(fit, &QAction::triggered, this, &MDIForm1::Mnu_Fit_Click);
  connect(about, &QAction::triggered, this, &MDIForm1::Mnu_About_Click);
}

AboutBox* MDIForm1::About() {
  if (!about_) {
    about_ = new AboutBox(this);
    connect(about_, &AboutBox::dismissed, path_, [this] { path_->setFocus(); });
  }
  about_->SetPriorityText(QString::fromStdString(motion_.PriorityText()));
  return about_;
}

// ---- File menu ------------------------------------------------------------------------

QString MDIForm1::FileName(const QString& path) const {
  return QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath());
}

void MDIForm1::Open_Menu_Click() {
  if (win_.MotionBusy()) {
    c_.win.Message(msg::kOpenWhileRunning, msg::kAppTitle);
    return;
  }
  // Nothing changes before a file has been read whole: a cancelled dialog
  // leaves the loaded program, the positions, the stop record and the start
  // line as they were, so a paused program can still be resumed.
  const QString path = QFileDialog::getOpenFileName(
      this, "Open", OpenFolder(), "Text Files (*.txt);;Flashcut files (*.fgc);;All Files (*.*)");
  if (path.isEmpty()) return;  // cancelled: quietly
  OpenProgramFile(path);
}

// The folder of the last program opened is kept beside brimo.cfg, in a file
// of the window's own (older builds read and rewrite brimo.cfg too).
static constexpr const char* kWindowStateName = "brimocnc.ini";
static constexpr const char* kLastFolderKey = "LastFolder";

QString MDIForm1::OpenFolder() const {
  const QSettings state(programFolder_ + "/" + kWindowStateName, QSettings::IniFormat);
  const QString last = state.value(kLastFolderKey).toString();
  if (!last.isEmpty() && QDir(last).exists()) return last;
  return samplesFolder_.isEmpty() ? programFolder_ + "/gcodes" : samplesFolder_;
}

void MDIForm1::RememberOpenFolder(const QString& path) {
  QSettings state(programFolder_ + "/" + kWindowStateName, QSettings::IniFormat);
  state.setValue(kLastFolderKey, QFileInfo(path).absolutePath());
}

bool MDIForm1::OpenProgramFile(const QString& path) {
  MachineState& ms = c_.ms;
  PlotState& plot = c_.plot;
  if (win_.MotionBusy() || ms.Running) {
    c_.win.Message(msg::kOpenWhileRunning, msg::kAppTitle);
    return false;
  }
  const QString shown = FileName(path);
  c_.win.SetBusyCursor(true);
  // The move list is made from the loaded program only to draw it: let it go
  // before the new file is read, so a large program's list and the next
  // program's text never stand in memory together. A read that fails keeps
  // the program; the next redraw makes its list again.
  c_.plot.Moves.reset();
  std::string why;
  ProgramStore loaded;
  if (!ReadProgramFile(LocalPath(path), loaded, why)) {
    // Not read (or not a program): everything stays as it was.
    c_.win.SetBusyCursor(false);
    c_.win.Message(std::string(msg::kOpenFailed) + shown.toStdString() + "\n\n" + why,
                   msg::kOpenTitle);
    return false;
  }
  setWindowTitle(QString(msg::kAppTitle) + "     " + shown);
  RememberOpenFolder(path);
  c_.win.SetPenWidth(1);
  c_.store = std::move(loaded);
  // A new program: the run is idle and the first "Execute Program" starts
  // from its first line; the preview and any stop record are forgotten, and
  // the registers start afresh, so the program runs as its estimate and the
  // headless simulation say whatever ran before it.
  ResetRunState(c_);
  ResetParserRegisters(c_);

  plot.RefitExtents = true;
  // Deliberate: loading makes the tool's current position program zero.
  ResetProgramPosition(c_);
  ShowPositions(c_);
  ms.StopRequested = false;
  ms.ResumePending = false;
  bool ok = true;
  try {
    DrawProgram();
  } catch (const std::exception& e) {
    ok = false;
    why = e.what();
  }
  c_.win.SetBusyCursor(false);
  plot.RefitExtents = false;
  if (!ok) {
    c_.win.Message(std::string(msg::kOpenFailed) + shown.toStdString() + "\n\n" + why,
                   msg::kOpenTitle);
  }
  // The estimate's run also checks the program: its summary reaches the
  // message line when it is ready, without holding up the window.
  if (ok) reportCheck_ = true;
  EstimateRunTime();
  return ok;
}

void MDIForm1::Mnu_exit_Click() { close(); }

// ---- Setup, Options, View, Help -----------------------------------------------

void MDIForm1::Set_menu_Click() {
  settings_->LoadFromForm();
  settings_->show();
  settings_->raise();
  settings_->activateWindow();
}

void MDIForm1::Mnu_Scale_Click() {
  scaleForm_->ShowFields();
  scaleForm_->show();
  scaleForm_->raise();
  scaleForm_->activateWindow();
}

void MDIForm1::Mnu_Fit_Click() {
  if (win_.MotionBusy()) return RedrawDuringMotion(true);
  c_.plot.FitEndpointsOnly = !c_.plot.FitEndpointsOnly;
  fit_->setChecked(c_.plot.FitEndpointsOnly);
  c_.plot.RefitExtents = true;
  DrawProgram();
  c_.plot.RefitExtents = false;
}

void MDIForm1::ShowCheckSummary(const std::vector<Finding>& findings) {
  checked_ = findings;
  checkedOverride_ = c_.win.OverridePercent();
  if (!reportCheck_) return;
  reportCheck_ = false;
  // One line, no dialog: how many lines the program check finds.
  const long lines = FindingLines(findings);
  if (lines == 0)
    c_.win.ShowStatus(msg::kLoadCheckClean);
  else if (lines == 1)
    c_.win.ShowStatus(msg::kLoadCheckOneLine);
  else
    c_.win.ShowStatus(msg::kLoadCheckLines + std::to_string(lines) + msg::kLoadCheckLinesEnd);
}

void MDIForm1::EstimateRunTime() {
  checked_.reset();  // for another program, settings or scale
  panel_->RunTime()->clear();
  if (win_.MotionBusy()) {
    estimateAfterMotion_ = true;
    return;
  }
  if (c_.store.LineCount <= 0) {
    estimator_->Cancel();
    return;
  }
  double scale[4];
  for (int i = 0; i < 4; ++i) scale[i] = c_.win.ScaleFactor(i);
  estimator_->Start(c_.store, c_.ms, c_.win.OverridePercent(), scale);
}

std::vector<Finding> MDIForm1::CheckProgram() {
  // The estimate checked this program with these settings already, unless
  // the override changed since or it has not finished yet.
  if (checked_ && checkedOverride_ == c_.win.OverridePercent()) return *checked_;
  double scale[4];
  for (int i = 0; i < 4; ++i) scale[i] = c_.win.ScaleFactor(i);
  std::vector<Finding> findings;
  c_.win.SetBusyCursor(true);
  EstimateRunSeconds(c_.store, c_.ms, c_.win.OverridePercent(), scale, nullptr, &findings);
  c_.win.SetBusyCursor(false);
  return findings;
}

void MDIForm1::Mnu_Check_Click() {
  if (c_.store.LineCount <= 0) {
    c_.win.Message(msg::kNoProgram, msg::kCheckTitle);
    return;
  }
  // The check runs the program from the machine's state, which the motion
  // thread owns while it moves; a finished estimate's findings still serve.
  if (win_.MotionBusy() && !(checked_ && checkedOverride_ == c_.win.OverridePercent())) {
    c_.win.Beep();
    c_.win.ShowStatus(msg::kCheckWhileMoving);
    return;
  }
  const std::vector<Finding> findings = CheckProgram();
  if (findings.empty()) {
    c_.win.Message(msg::kCheckClean, msg::kCheckTitle);
    return;
  }
  // Every finding, however many: the report scrolls.
  std::string text;
  for (const Finding& f : findings)
    text += msg::kCheckLine + std::to_string(f.line) + ": " + f.message + "\n    " + f.text + "\n";
  const std::string heading = msg::kCheckReportLines + std::to_string(FindingLines(findings)) +
                              " (" + std::to_string(findings.size()) + msg::kCheckFindings + ")";
  if (!checkReport_) checkReport_ = new CheckReport(this);
  checkReport_->ShowFindings(QString::fromStdString(heading), QString::fromStdString(text));
}

void MDIForm1::Mnu_About_Click() {
  AboutBox* box = About();
  box->show();
  box->raise();
  box->activateWindow();
}

}  // namespace brimo::gui
