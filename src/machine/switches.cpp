#include "machine/switches.h"

#include <algorithm>
#include <array>

#include "machine/core.h"
#include "machine/messages.h"
#include "machine/pulse_clock.h"

namespace brimo {
namespace {

// Whole-byte lists, exact. Limit, Y and Z hold 142 in place of 15, so 15
// matches nothing and 142 is limit+Y+Z but not X; 255 reads as home X only.
// Deliberate: switch wiring in the field relies on these lists.
constexpr std::array<int, 8> kLimitList{31, 47, 63, 142, 143, 159, 175, 191};
constexpr std::array<int, 8> kHomeXList{143, 159, 175, 191, 207, 223, 239, 255};
constexpr std::array<int, 8> kHomeYList{31, 79, 95, 142, 143, 159, 207, 223};
constexpr std::array<int, 8> kHomeZList{47, 79, 111, 142, 143, 175, 207, 239};

bool In(const std::array<int, 8>& list, int v) {
  return std::find(list.begin(), list.end(), v) != list.end();
}

}  // namespace

int DecodeSwitches(int b) {
  return (In(kLimitList, b) ? kLimit : 0) | (In(kHomeXList, b) ? kHomeX : 0) |
         (In(kHomeYList, b) ? kHomeY : 0) | (In(kHomeZList, b) ? kHomeZ : 0);
}

void ReadSwitches(Core& c, Port& port) {
  MachineState& ms = c.ms;
  const int active = DecodeSwitches(ReadStatusPort(port));
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
