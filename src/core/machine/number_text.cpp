#include "core/machine/number_text.h"

#include <charconv>

namespace brimo {

std::string NumberText(double v) {
  if (v == 0) return "0";  // also -0
  char buf[64];
  auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::general, 15);
  return std::string(buf, r.ptr);
}

}  // namespace brimo
