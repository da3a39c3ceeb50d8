// Core: the handful of objects every motion and interpreter routine works
// on, bundled so routines take one argument. The application (or a test
// fixture) owns each object; Core only refers to them.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "core/machine/machine_state.h"
#include "core/machine/port.h"
#include "core/machine/pulse_clock.h"
#include "core/machine/window.h"

namespace brimo {

struct ProgramStore;
struct PlotState;

// Lazy access to the hardware port. The port is opened on the first online
// pulse; when it cannot be opened the reason is kept and reported once.
class PortLink {
 public:
  using Opener = std::function<std::unique_ptr<Port>(std::string& why)>;
  explicit PortLink(Port* fixed) : fixed_(fixed), ready_(fixed) {}  // tests: always this port
  explicit PortLink(Opener opener) : opener_(std::move(opener)) {}

  // The port once it is open (or the fixed one), else null. The pulse path
  // asks this first: no text, no attempt to open, one load.
  Port* Ready() const { return ready_; }
  // The open port, or null with `why` set. Opens at most once per Reset.
  Port* Acquire(std::string& why);
  // Forget a failed open so the next online pulse tries again (the operator
  // unticked "Offline").
  void Reset();
  // Closes the port this link opened, so the next Acquire opens the one the
  // settings now name (Settings "Ok" changed the device or address; never
  // while moving). A fixed port stays.
  void Release();
  // True once the failure has been reported to the operator.
  bool& Reported() { return reported_; }

 private:
  Port* fixed_ = nullptr;
  Opener opener_;
  std::unique_ptr<Port> owned_;
  Port* ready_ = nullptr;  // fixed_ or owned_ once open, until Release
  bool tried_ = false;
  bool reported_ = false;
  std::string why_;
};

struct Core {
  MachineState& ms;
  Window& win;
  Clock& clock;
  PortLink& port;
  ProgramStore& store;
  PlotState& plot;
};

}  // namespace brimo
