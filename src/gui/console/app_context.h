// AppContext: the owner of everything the program holds once: the machine
// state, the settings form, the program store, the plot state, the pulse
// clock, the port link, the window port and the main window, and the Core
// that bundles them. No globals: tests build one AppContext per case, with
// its own program folder.
//
// The program folder holds brimo.cfg (main() passes the user's
// configuration folder) and, unless the start options name another, gcodes/.
#pragma once

#include <QString>
#include <memory>
#include <string>

#include "core/machine/core.h"
#include "core/machine/machine_state.h"
#include "core/machine/pulse_clock.h"
#include "core/machine/settings_form.h"
#include "core/plot/plot_state.h"
#include "core/program/program_store.h"
#include "gui/console/motion_thread.h"
#include "gui/console/qt_window_port.h"

namespace brimo::gui {

class MDIForm1;

// What the program pulses through. Null members take the real hardware: the
// steady clock and the platform's parallel port. Tests and benchmarks put a
// virtual clock or a simulated port here; both must outlive the AppContext.
struct AppHardware {
  Clock* clock = nullptr;
  Port* port = nullptr;
};

struct StartOptions {
  bool safetyDialog = true;  // false: skip the agreement (tests, screenshots)
  bool offline = false;      // start offline (with the "Offline" box ticked)
  QString programFile;       // opened after start-up, as File > Open would
  QString samplesFolder;     // where File > Open starts at first (empty: <folder>/gcodes)
  std::string startupNote;   // shown in the message line after start-up
};

class AppContext {
 public:
  explicit AppContext(QString programFolder, AppHardware hardware = {});
  ~AppContext();
  AppContext(const AppContext&) = delete;
  AppContext& operator=(const AppContext&) = delete;

  // Start-up in order: the window's start-up steps, the window shown, the
  // safety agreement (modal), then the program named on the command line.
  void Start(const StartOptions& options);
  // Shows the safety agreement modally; "Go Offline" or closing the dialog
  // sets the offline flag and ticks the "Offline" box. True when offline.
  bool RunSafetyAgreement();

  Core& core() { return core_; }
  MachineState& ms() { return ms_; }
  SettingsForm& form() { return form_; }
  ProgramStore& store() { return store_; }
  PlotState& plot() { return plot_; }
  QtWindowPort& window() { return win_; }
  MDIForm1& mainWindow() { return *main_; }
  MotionThread& motion() { return motion_; }
  // True while a run, jog, home move or move to a line is under way, until
  // the window has shown its end (read on the window's thread).
  bool MotionBusy() const { return motion_.Busy() || win_.MotionShowing(); }

 private:
  MachineState ms_;
  SettingsForm form_;
  ProgramStore store_;
  PlotState plot_;
  SteadyClock steadyClock_;
  Clock& clock_;
  PortLink port_;
  QtWindowPort win_;
  MotionThread motion_;
  Core core_;
  std::unique_ptr<MDIForm1> main_;
};

}  // namespace brimo::gui
