// Every operator-visible text of the core, in one place. Texts in quotes of
// the original design are kept letter for letter, misspellings included
// ("succesfully", "Continous", "Overide").
#pragma once

namespace brimo::msg {

inline constexpr const char* kAppTitle = "BrimoCNC";
inline constexpr const char* kLimitZone = "Limit Zone";
inline constexpr const char* kNoCounter = "High-resolution counter not supported.";
inline constexpr const char* kToolChange = "Change to tool #";
inline constexpr const char* kDone = "File succesfully processed";
inline constexpr const char* kDoneTitle = "Done";
inline constexpr const char* kResetQuestion = "Are you sure to reset the file?";
inline constexpr const char* kResetTitle = "Resetting File";

// Our own texts (mends and reports the original did not have).
inline constexpr const char* kBadRateTitle = "Move not started";
inline constexpr const char* kBadRate =
    "The move was not started: its step rate is not a positive number "
    "(no feed rate set yet, or a feed or override of 0). Set a feed rate "
    "(an F word) or a positive override and try again.";
inline constexpr const char* kPortTitle = "Parallel port";
inline constexpr const char* kPortFailed =
    "No pulse was sent: the parallel port could not be opened.\n\n";
inline constexpr const char* kPortOffline =
    "\n\nBrimoCNC now works offline (the \"Offline\" box is ticked). Untick it "
    "to try the port again.";
inline constexpr const char* kConfigTitle = "Configuration";
inline constexpr const char* kConfigDamaged =
    "The configuration file brimo.cfg could not be read completely.\n";
inline constexpr const char* kConfigKept =
    "The damaged file was kept as brimo.cfg.bad; a new brimo.cfg was written "
    "from the values that could be used and the defaults.";
inline constexpr const char* kConfigNotSaved = "The configuration could not be saved.\n";

}  // namespace brimo::msg
