// MDIForm1: the operator console, the program's main window ("BrimoCNC").
// Its one child window is the plot PathView (inside the grey client area);
// two docked containers hold the controls: Picture2 (bottom strip,
// 975 twips high) with the position read-outs, and Picture1 (right side,
// 3000 twips wide) with the panel selector and the five panels.
//
// Layout rule (twips): plot height = window height - 975 - 750, plot width =
// plot height (square), window width = 3000 + plot width + 200, so the
// operator chooses the height and the width follows: width = height + 1475.
// Where the menu bar, the message line (status bar) and the gaps between
// the docks take more than 750 twips, they take the place of the 750, so
// the square plot always fits the grey area. The window's minimum size keeps
// the run panel, "Reset Program" and "Pause" whole.
//
// The window owns no machine data: it shows and sets the one MachineState
// and program store of the Core it is given. Handlers keep the names of
// their controls and stay thin: they gather inputs, call the core and show.
#pragma once

#include <QMainWindow>
#include <QString>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "gui/console/twips.h"

class QLabel;

namespace brimo {
struct Core;
struct SettingsForm;
struct Finding;
}  // namespace brimo

namespace brimo::gui {

class PathView;
class PositionStrip;
class ControlPanel;
class AboutBox;
class QtWindowPort;
class RunTimeEstimator;
class FormSettings;
class ScaleForm;
class Set_Prg_cord;
class CheckReport;
class MotionThread;

class MDIForm1 : public QMainWindow {
  Q_OBJECT

 public:
  // Window measures in twips.
  static constexpr int kInitialWidthTw = 8880, kInitialHeightTw = 6090;
  static constexpr int kStripHeightTw = 975;     // Picture2
  static constexpr int kPanelWidthTw = 3000;     // Picture1
  static constexpr int kFrameAllowanceTw = 750;  // menu bar and frame
  static constexpr int kPlotGapTw = 200;         // right of the plot

  // `port` is the window interface of `core` (core.win); `programFolder`
  // holds brimo.cfg (the user's configuration folder when installed) and,
  // unless SetSamplesFolder names another, the gcodes folder.
  // `motion` makes the pulses of runs, jogs and home moves (motion_thread.h).
  MDIForm1(Core& core, QtWindowPort& port, MotionThread& motion, SettingsForm& form,
           QString programFolder, QWidget* parent = nullptr);
  ~MDIForm1() override;

  PathView* View() const { return path_; }
  PositionStrip* Strip() const { return strip_; }
  ControlPanel* Panel() const { return panel_; }
  const Twips& Measures() const { return t_; }
  QString ProgramFolder() const { return programFolder_; }
  // Where File > Open starts when no program was opened before.
  void SetSamplesFolder(QString folder) { samplesFolder_ = std::move(folder); }
  // Where File > Open starts: the folder of the last program opened (kept
  // across runs) while it exists, else the sample programs.
  QString OpenFolder() const;
  // The About box (created on first use).
  AboutBox* About();
  FormSettings* Settings() const { return settings_.get(); }
  ScaleForm* Scale() const { return scaleForm_.get(); }
  Set_Prg_cord* Coordinates() const { return coordinates_.get(); }
  // The message line (left part of the status bar).
  QLabel* StatusText() const { return statusText_; }
  void ShowStatus(const QString& text);

  // Start-up: configuration load and save, plot extents 0..200, positions
  // 0, live-plot interval, pulse clock, stop pen width.
  void MDIForm_Load();
  // Layout rule, then clear the plot, grid and axes, and the program when
  // more than one entry is loaded. Tolerates its own re-entry and a
  // minimised window.
  void MDIForm_Resize();
  // Redraws the whole loaded program.
  void DrawProgram();
  // Repaints the plot and requests a stop (as "Pause" does).
  void ReFresh();
  // Everything File > Open does after the file dialog: read `path` into the
  // program store, caption, program zero, read-outs, draw with refit. Tells
  // the operator which file and why when it cannot be read. Refused while
  // a program or a move runs. True when the program was loaded.
  bool OpenProgramFile(const QString& path);
  // Writes brimo.cfg from the settings form and the home panel; tells the
  // operator when it cannot.
  bool SaveConfiguration();

 public slots:
  void Open_Menu_Click();  // File > Open
  void Mnu_exit_Click();   // File > Exit: save, close, end
  void Set_menu_Click();   // Setup > Settings
  void Mnu_Scale_Click();  // Options > Scale
  void Mnu_Fit_Click();    // View > Fit: toggles arc extents, refits, redraws
  void Mnu_About_Click();  // Help > About
  void Mnu_Check_Click();  // Options > Check program: lines that will not do what they seem to
  void PathView_KeyPress(int code);        // any key with a code >= 1: stop
  void PathView_JogKeyDown(int jogIndex);  // jog while held; a stop during motion
  void PathView_JogKeyUp(int jogIndex);
  void PathView_Resize();  // live-plot interval follows the size

 protected:
  void resizeEvent(QResizeEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  QMenu* createPopupMenu() override { return nullptr; }

 private:
  void BuildMenus();
  struct SizeRule {
    // Window height (pixels) given to neither the strip nor the plot: at
    // least 750 twips, more when menu bar, message line and gaps need it.
    int plotAllowance = 0;
    // The smallest window that follows the layout rule and keeps the run
    // panel, "Line in progress", "Reset Program" and "Pause" whole (invalid
    // while the window is hidden).
    QSize least;
  };
  SizeRule MeasureSizes();
  // Starts the run-time estimate of the loaded program (shown when ready).
  void EstimateRunTime();
  // The program check of the loaded program with the override and scale
  // factors in force (Options > Check program, the load's summary line).
  std::vector<Finding> CheckProgram();
  // Keeps the findings for Options > Check program; after a load, says in
  // the message line how many lines they name.
  void ShowCheckSummary(const std::vector<Finding>& findings);
  QString FileName(const QString& path) const;
  // `path` in the file system's own encoding, for the core's file routines.
  static std::string LocalPath(const QString& path);
  // Window thread, after a job: the last frame, then what waited for the
  // machine's state (redraws after a resize or Fit, the estimate).
  void MotionEnded();
  // Resize, View > Fit (`fit`) while the machine moves: the redraw is made
  // from a copy of the machine's state.
  void RedrawDuringMotion(bool fit);
  // The plot drawn from `c`: grid, axes and program; with `fit` the program
  // alone, refitted as View > Fit draws it (RefitExtents set by the caller).
  void DrawPlot(Core& c, bool fit);

  Core& c_;
  QtWindowPort& win_;
  MotionThread& motion_;
  bool estimateAfterMotion_ = false;
  SettingsForm& form_;
  QString programFolder_;
  QString samplesFolder_;
  void RememberOpenFolder(const QString& path);
  Twips t_;
  QWidget* client_;  // the grey client area that holds PathView
  PathView* path_;
  QLabel* statusText_ = nullptr;
  PositionStrip* strip_;
  ControlPanel* panel_;
  AboutBox* about_ = nullptr;
  CheckReport* checkReport_ = nullptr;
  // Findings of the last finished estimate (which runs the program check
  // too) and the override it ran with; none while an estimate is pending.
  std::optional<std::vector<Finding>> checked_;
  double checkedOverride_ = 100;
  bool reportCheck_ = false;  // a load waits for its check summary  // Options > Check program
                              // (created on first use)
  RunTimeEstimator* estimator_;
  QAction* fit_ = nullptr;  // View > Fit, checked while FitEndpointsOnly
  // Separate windows (not children: their controls keep their own names).
  std::unique_ptr<FormSettings> settings_;
  std::unique_ptr<ScaleForm> scaleForm_;
  std::unique_ptr<Set_Prg_cord> coordinates_;
  bool inResize_ = false;
  QSize pendingSize_;  // size asked of the window system, not yet granted
  int lastPlotSide_ = -1;
};

}  // namespace brimo::gui
