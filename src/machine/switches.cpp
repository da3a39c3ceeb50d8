#include "machine/switches.h"

#include "machine/core.h"
#include "machine/messages.h"
#include "machine/port.h"

namespace brimo {

void ReadSwitches(Core& c, Port& port) {
  MachineState& ms = c.ms;
  const int active = kSwitchTable[port.ReadStatus()];
  if (active == 0) [[likely]] {
    // All open (127, the idle reading) or any byte outside the lists.
    ms.LimitActive = ms.HomeXActive = ms.HomeYActive = ms.HomeZActive = 0;
    return;
  }
  if (active & kLimit) {
    ms.LimitActive = 1;
    ms.StopRequested = true;
    // At every pulse while the switch reads active (deliberate).
    c.win.Message(msg::kLimitZone, msg::kAppTitle);
  } else {
    ms.LimitActive = 0;
  }
  ms.HomeXActive = (active & kHomeX) ? 1 : 0;
  if (ms.HomeXActive) ms.MachX = 0;
  ms.HomeYActive = (active & kHomeY) ? 1 : 0;
  if (ms.HomeYActive) ms.MachY = 0;
  ms.HomeZActive = (active & kHomeZ) ? 1 : 0;
  if (ms.HomeZActive) ms.MachZ = 0;
}

}  // namespace brimo
