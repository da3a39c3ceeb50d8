// Small text helpers shared by the headless simulation, the program check and
// the simulation's command line (not part of any public interface).
#pragma once

#include <string>

namespace brimo::sim_text {

// `s` without leading and trailing blanks and tabs.
inline std::string Trimmed(const std::string& s) {
  const size_t a = s.find_first_not_of(" \t");
  if (a == std::string::npos) return "";
  return s.substr(a, s.find_last_not_of(" \t") - a + 1);
}

// `s` in double quotes, as messages name a word or a value.
inline std::string Quoted(const std::string& s) { return "\"" + s + "\""; }

}  // namespace brimo::sim_text
