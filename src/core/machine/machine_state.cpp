#include "core/machine/machine_state.h"

#include <charconv>
#include <cmath>

namespace brimo {

int PinMask(double pin) {
  // Data pins 2..9 are data bits 0..7. A pin outside that range drives
  // nothing (deliberate: an unused line is configured that way).
  if (!(pin >= 2 && pin <= 9) || pin != std::floor(pin)) return 0;
  return 1 << (static_cast<int>(pin) - 2);
}

int PinMask(const std::string& pin) {
  // Blanks around the number are tolerated; anything else that is not a
  // whole number gives no line.
  size_t b = pin.find_first_not_of(" \t");
  size_t e = pin.find_last_not_of(" \t");
  if (b == std::string::npos) return 0;
  double v = 0;
  const char* first = pin.data() + b;
  const char* last = pin.data() + e + 1;
  auto [ptr, ec] = std::from_chars(first, last, v);
  if (ec != std::errc() || ptr != last) return 0;
  return PinMask(v);
}

bool StepSizesUsable(const MachineState& ms) {
  auto ok = [](double v) { return v > 0 && std::isfinite(v); };
  return ok(ms.UnitsPerStepX) && ok(ms.UnitsPerStepY) && ok(ms.UnitsPerStepZ);
}

}  // namespace brimo
