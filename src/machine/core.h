// Core: the handful of objects every motion and interpreter routine works
// on, bundled so routines take one argument. The application (or a test
// fixture) owns each object; Core only refers to them.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "machine/machine_state.h"
#include "machine/port.h"
#include "machine/pulse_clock.h"
#include "machine/window.h"

namespace brimo {

struct ProgramStore;
struct PlotState;

// Lazy access to the hardware port. The port is opened on the first online
// pulse; when it cannot be opened the reason is kept and reported once.
class PortLink {
 public:
  using Opener = std::function<std::unique_ptr<Port>(std::string& why)>;
  explicit PortLink(Port* fixed) : fixed_(fixed) {}  // tests: always this port
  explicit PortLink(Opener opener) : opener_(std::move(opener)) {}

  // The open port, or null with `why` set. Opens at most once per Reset.
  Port* Acquire(std::string& why);
  // Forget a failed open so the next online pulse tries again (the operator
  // unticked "Offline").
  void Reset();
  // True once the failure has been reported to the operator.
  bool& Reported() { return reported_; }

 private:
  Port* fixed_ = nullptr;
  Opener opener_;
  std::unique_ptr<Port> owned_;
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
