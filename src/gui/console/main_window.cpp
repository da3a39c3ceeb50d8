#include "gui/console/main_window.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDockWidget>
#include <QFile>
#include <QLabel>
#include <QLayout>
#include <QResizeEvent>
#include <QScopedValueRollback>
#include <QStatusBar>
#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "core/forms/scale_factors.h"
#include "core/interpreter/draw_program.h"
#include "core/machine/config_file.h"
#include "core/machine/core.h"
#include "core/machine/messages.h"
#include "core/machine/pulse_clock.h"
#include "core/machine/settings_form.h"
#include "core/plot/plot_geometry.h"
#include "core/plot/plot_state.h"
#include "core/plot/toolpath.h"
#include "core/program/program_store.h"
#include "gui/console/control_panel.h"
#include "gui/console/motion_thread.h"
#include "gui/console/position_strip.h"
#include "gui/console/qt_window_port.h"
#include "gui/console/run_time_estimator.h"
#include "gui/dialogs/about_box.h"
#include "gui/dialogs/coordinate_dialog.h"
#include "gui/dialogs/scale_dialog.h"
#include "gui/dialogs/settings_dialog.h"
#include "gui/plot/path_view.h"

namespace brimo::gui {

namespace {

// A docked container without title bar that cannot be moved or closed.
QDockWidget* FixedDock(QMainWindow* owner, QWidget* content, const QString& name) {
  auto* dock = new QDockWidget(owner);
  dock->setObjectName(name);
  dock->setTitleBarWidget(new QWidget(dock));
  dock->setFeatures(QDockWidget::NoDockWidgetFeatures);
  dock->setWidget(content);
  return dock;
}

}  // namespace

MDIForm1::MDIForm1(Core& core, QtWindowPort& port, MotionThread& motion, SettingsForm& form,
                   QString programFolder, QWidget* parent)
    : QMainWindow(parent),
      c_(core),
      win_(port),
      motion_(motion),
      form_(form),
      programFolder_(std::move(programFolder)),
      t_(logicalDpiX()) {
  setObjectName("MDIForm1");
  setWindowTitle(msg::kAppTitle);

  client_ = new QWidget(this);
  client_->setObjectName("MDIClient");
  client_->setAutoFillBackground(true);
  QPalette grey = client_->palette();
  grey.setColor(QPalette::Window, QColor(128, 128, 128));
  client_->setPalette(grey);
  path_ = new PathView(client_);
  estimator_ = new RunTimeEstimator(this);
  // The settings dialog exists (hidden) from start-up on: it shows the form
  // the configuration is loaded into.
  settings_ = std::make_unique<FormSettings>(c_, form_, programFolder_);
  // New rates, leads or units change how long the loaded program takes.
  settings_->onApplied = [this] { EstimateRunTime(); };
  scaleForm_ = std::make_unique<ScaleForm>(
      win_.Scale(), [this](const std::string& m) { c_.win.Message(m, msg::kScaleTitle); });
  scaleForm_->onOk = [this] {
    if (win_.MotionBusy()) return win_.Beep();  // refused while anything moves
    if (ScaleOk(c_)) EstimateRunTime();
  };
  coordinates_ = std::make_unique<Set_Prg_cord>(c_);
  // Nothing competes with pulses for the processor: an estimate sleeps while
  // the machine moves online.
  win_.SetMotionBeginHandler([this] { estimator_->HoldForMotion(!c_.ms.Offline); });
  win_.SetMotionEndedHandler([this] { MotionEnded(); });
  connect(estimator_, &RunTimeEstimator::Estimated, this,
          [this](double seconds, const std::vector<Finding>& findings) {
            panel_->RunTime()->setText("Run time: " + RunTimeText(seconds));
            ShowCheckSummary(findings);
          });
  setCentralWidget(client_);

  strip_ = new PositionStrip(core, t_);
  strip_->setFixedHeight(t_.Px(kStripHeightTw));
  strip_->openCoordinates = [this](bool machine) {
    if (win_.MotionBusy()) return win_.Beep();
    coordinates_->Open(machine);
  };
  panel_ = new ControlPanel(core, t_);
  panel_->setFixedWidth(t_.Px(kPanelWidthTw));
  // The bottom strip runs under the right-hand panel, across the window.
  setCorner(Qt::BottomLeftCorner, Qt::BottomDockWidgetArea);
  setCorner(Qt::BottomRightCorner, Qt::BottomDockWidgetArea);
  addDockWidget(Qt::BottomDockWidgetArea, FixedDock(this, strip_, "Picture2Dock"));
  addDockWidget(Qt::RightDockWidgetArea, FixedDock(this, panel_, "Picture1Dock"));

  // The panels are laid out for a compact 8-point face.
  QFont compact = font();
  compact.setPointSize(8);
  strip_->setFont(compact);
  panel_->setFont(compact);

  BuildMenus();
  // The message line exists from the start, so the layout rule knows its
  // height before the first message.
  statusBar()->setObjectName("StatusBar");
  // A label, not the bar's own temporary message: hovering a menu shows the
  // actions' status tips and would wipe a temporary message for good. The
  // label never widens the window: a long text is cut, and whole in its tip.
  statusText_ = new QLabel(statusBar());
  statusText_->setObjectName("StatusText");
  statusText_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
  statusBar()->addWidget(statusText_, 1);
  statusBar()->addPermanentWidget(panel_->RunTime());  // right end, beside messages
  connect(path_, &PathView::keyPressed, this, &MDIForm1::PathView_KeyPress);
  connect(path_, &PathView::jogKeyPressed, this, &MDIForm1::PathView_JogKeyDown);
  connect(path_, &PathView::jogKeyReleased, this, &MDIForm1::PathView_JogKeyUp);
  connect(path_, &PathView::resized, this, &MDIForm1::PathView_Resize);

  resize(t_.Px(kInitialWidthTw), t_.Px(kInitialHeightTw));
}

MDIForm1::~MDIForm1() = default;

std::string MDIForm1::LocalPath(const QString& path) {
  return QFile::encodeName(path).toStdString();
}

// ---- Start-up and layout ---------------------------------------------------------

void MDIForm1::MDIForm_Load() {
  MachineState& ms = c_.ms;
  ms.DiagonalFactor = 1;
  // Load, then save at once: the file exists and holds every field after
  // every start.
  StartupConfiguration(LocalPath(programFolder_), ms, form_,
                       panel_->Run()->Text2()->text().toStdString(), c_.win);
  c_.plot.PlotXMax = 200;
  c_.plot.PlotYMax = 200;
  c_.plot.PlotXMin = 0;
  c_.plot.PlotYMin = 0;
  ms.LineStartX = ms.LineStartY = 0;
  ms.TargetX = ms.TargetY = 0;
  ms.MachX = ms.MachY = ms.MachZ = 0;
  ms.PrgX = ms.PrgY = ms.PrgZ = 0;
  UpdatePlotEvery(c_);
  if (!InitCounter(ms, c_.clock)) c_.win.Message(msg::kNoCounter, msg::kAppTitle);
  ms.Stop.DrawWidth = 1;
  panel_->Home()->ShowForm(form_);
  settings_->LoadFromForm();
}

void MDIForm1::resizeEvent(QResizeEvent* event) {
  QMainWindow::resizeEvent(event);
  MDIForm_Resize();
}

void MDIForm1::showEvent(QShowEvent* event) {
  QMainWindow::showEvent(event);
  // Hidden, the docks report no minimum: the first pass of the rule used
  // 750 twips. Now the menu bar, message line and docks can be measured.
  MDIForm_Resize();
}

void MDIForm1::MDIForm_Resize() {
  // Setting the window's size below raises this handler again; that inner
  // pass has nothing to add, the outer one finishes the work.
  if (inResize_) return;
  QScopedValueRollback<bool> guard(inResize_, true);

  c_.win.SetPenWidth(1);
  // Sizing steps (in pixels, from the twips constants). A minimised window
  // or one too small for a plot skips them; the plot is still redrawn.
  const bool echo = pendingSize_.isValid() && size() == pendingSize_;
  pendingSize_ = QSize();
  const SizeRule m = MeasureSizes();
  const int allowance = m.plotAllowance;
  // May grow the window at once (its own pass returns at the guard above).
  if (m.least.isValid() && minimumSize() != m.least) setMinimumSize(m.least);
  // A window system that ignores the minimum size hint may still go below.
  const int plot = std::max(height(), minimumHeight()) - t_.Px(kStripHeightTw) - allowance;
  if (!isMinimized() && plot > 0) {
    const QSize want(t_.Px(kPanelWidthTw) + plot + t_.Px(kPlotGapTw),
                     plot + allowance + t_.Px(kStripHeightTw));
    if (size() != want && !isMaximized() && !isFullScreen()) {
      resize(want);
      // Some window systems grant the size later; their answer must not
      // trigger a second full redraw.
      if (size() != want) pendingSize_ = want;
    }
    path_->setGeometry(0, 0, plot, plot);
  }
  // The window system's answer to our own request, with the plot as drawn:
  // nothing changed.
  if (echo && path_->width() == lastPlotSide_) return;
  lastPlotSide_ = path_->width();

  if (win_.MotionBusy()) return RedrawDuringMotion(false);
  DrawPlot(c_, false);
  c_.plot.DrawLine = 0;
}

void MDIForm1::DrawPlot(Core& c, bool fit) {
  QtWindowPort::DisplayHold hold(win_);
  if (!fit) {
    c.win.ClearPlot();
    DrawGrid(c);
  }
  if (fit || c.store.LineCount > 1) brimo::DrawProgram(c);
}

MDIForm1::SizeRule MDIForm1::MeasureSizes() {
  SizeRule m;
  m.plotAllowance = t_.Px(kFrameAllowanceTw);
  if (!isVisible()) return m;  // hidden docks report no minimum
  // The layout's minimum holds the menu bar, the message line, the strip,
  // the right-hand panel down to "Line in progress" (its minimum height)
  // and the gaps between them; the strip's minimum width ends after "Pause".
  layout()->invalidate();
  const QSize least = minimumSizeHint();
  const int strip = t_.Px(kStripHeightTw);
  const int chrome = least.height() - strip - panel_->minimumHeight();
  m.plotAllowance = std::max(m.plotAllowance, chrome);
  // Layout rule: width = panel + plot + gap with plot = height - strip -
  // allowance, so width - height is fixed; the least height satisfies
  // both minimums and leaves a plot.
  const int widthOverHeight = t_.Px(kPanelWidthTw) + t_.Px(kPlotGapTw) - strip - m.plotAllowance;
  const int height =
      std::max({least.height(), least.width() - widthOverHeight, strip + m.plotAllowance + 1});
  m.least = QSize(height + widthOverHeight, height);
  return m;
}

void MDIForm1::MotionEnded() {
  estimator_->ReleaseAfterMotion();
  if (estimateAfterMotion_) {
    estimateAfterMotion_ = false;
    EstimateRunTime();
  }
}

void MDIForm1::PathView_Resize() {
  win_.CallCore([this] { UpdatePlotEvery(c_); });
}

void MDIForm1::RedrawDuringMotion(bool fit) {
  // The drawing pass parses the whole program with the machine's state,
  // which the motion thread owns now: it draws from a copy taken between two
  // pulses and writes back only the plot's extents, which no move reads.
  win_.CallCore([this, fit] {
    auto taken = std::make_shared<MachineState>(c_.ms);
    win_.OnWindowThread([this, fit, taken] {
      PlotState plot = c_.plot;
      if (fit) plot.FitEndpointsOnly = !plot.FitEndpointsOnly, plot.RefitExtents = true;
      Core copy{*taken, c_.win, c_.clock, c_.port, c_.store, plot};
      DrawPlot(copy, fit);
      PlotState& mine = c_.plot;
      mine.PlotXMin = plot.PlotXMin, mine.PlotXMax = plot.PlotXMax;
      mine.PlotYMin = plot.PlotYMin, mine.PlotYMax = plot.PlotYMax;
      mine.PlotCentreX = plot.PlotCentreX, mine.PlotCentreY = plot.PlotCentreY;
      mine.ScaleWidth = plot.ScaleWidth;
      mine.FitEndpointsOnly = plot.FitEndpointsOnly;
      fit_->setChecked(mine.FitEndpointsOnly);
    });
  });
}

void MDIForm1::DrawProgram() {
  if (win_.MotionBusy()) return RedrawDuringMotion(false);
  QtWindowPort::DisplayHold hold(win_);
  brimo::DrawProgram(c_);
}

void MDIForm1::ReFresh() {
  path_->repaint();
  win_.CallCore([this] { c_.ms.StopRequested = true; });
  path_->repaint();
}

// ---- Message line and closing ----------------------------------------------------

void MDIForm1::ShowStatus(const QString& text) {
  statusText_->setText(text);
  statusText_->setToolTip(text);
}

bool MDIForm1::SaveConfiguration() {
  panel_->Home()->TakeForm(form_);
  return brimo::SaveConfiguration(LocalPath(programFolder_), c_.ms, form_, c_.win);
}

void MDIForm1::closeEvent(QCloseEvent* event) {
  // A job on the motion thread ends at its next pulse; a box it waits for is
  // answered (Ok, No); only then is anything saved.
  win_.CloseQuestions();
  motion_.Shutdown([this] { c_.ms.StopRequested = true; });
  win_.EndMotion();
  // A move loop may be running underneath (it pumps events): let it end.
  c_.ms.StopRequested = true;
  estimator_->Cancel();  // never waits for the worker
  // Edits left open in the settings dialog were never confirmed with "Ok".
  settings_->DiscardEdits();
  SaveConfiguration();
  if (about_) about_->hide();
  scaleForm_->hide();
  coordinates_->hide();
  event->accept();
  QCoreApplication::quit();
}

void MDIForm1::PathView_KeyPress(int code) {
  if (code >= 1) win_.CallCore([this] { c_.ms.StopRequested = true; });
}

void MDIForm1::PathView_JogKeyDown(int jogIndex) {
  // While anything moves, a key is the plain stop of a running program.
  if (win_.MotionBusy()) {
    win_.CallCore([this] { c_.ms.StopRequested = true; });
    return;
  }
  panel_->Jog()->JogZ_MouseDown(jogIndex, Qt::LeftButton);
}

void MDIForm1::PathView_JogKeyUp(int jogIndex) {
  panel_->Jog()->JogZ_MouseUp(jogIndex, Qt::LeftButton);
}

}  // namespace brimo::gui
