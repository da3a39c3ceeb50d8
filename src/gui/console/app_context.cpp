#include "gui/console/app_context.h"

#include "core/machine/port.h"
#include "gui/console/main_window.h"
#include "gui/dialogs/safety_dialog.h"

namespace brimo::gui {

namespace {

// The real port opens where the settings in force say at the moment of the
// open (the first online pulse after start-up or after Settings "Ok"
// changed the port).
PortLink MakePortLink(Port* port, const MachineState& ms) {
  if (port) return PortLink(port);
  return PortLink([&ms](std::string& why) {
    return OpenHardwarePort(PortAddress{ms.PortDevice, ms.PortBase}, why);
  });
}

}  // namespace

AppContext::AppContext(QString programFolder, AppHardware hardware)
    : clock_(hardware.clock ? *hardware.clock : steadyClock_),
      port_(MakePortLink(hardware.port, ms_)),
      core_{ms_, win_, clock_, port_, store_, plot_} {
  main_ = std::make_unique<MDIForm1>(core_, win_, motion_, form_, std::move(programFolder));
  win_.Attach(main_.get());
  win_.AttachMotion(&motion_);
}

AppContext::~AppContext() {
  // A job still moving ends at its next pulse; a box it waits for is
  // answered. Then the window, which the core reaches through win_.
  win_.CloseQuestions();
  motion_.Shutdown([this] { ms_.StopRequested = true; });
  win_.EndMotion();
  main_.reset();
}

void AppContext::Start(const StartOptions& options) {
  if (!options.samplesFolder.isEmpty()) main_->SetSamplesFolder(options.samplesFolder);
  main_->MDIForm_Load();
  if (options.offline) {
    ms_.Offline = true;
    win_.ShowOffline(true);
  }
  main_->show();
  if (!options.startupNote.empty()) win_.ShowStatus(options.startupNote);
  if (options.safetyDialog) RunSafetyAgreement();
  if (!options.programFile.isEmpty()) main_->OpenProgramFile(options.programFile);
}

bool AppContext::RunSafetyAgreement() {
  SafetyDialog dialog(main_.get());
  if (!dialog.AskOffline()) return false;
  ms_.Offline = true;
  // The "Offline" box shows the true state; unticking it goes online again.
  win_.ShowOffline(true);
  return true;
}

}  // namespace brimo::gui
