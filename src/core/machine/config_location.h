// Where brimo.cfg lives. Installed, the program's own folder is read-only
// and shared by every user, so each user keeps their own settings in the
// platform's configuration folder: $XDG_CONFIG_HOME/brimocnc (else
// ~/.config/brimocnc) on Linux, %APPDATA%\BrimoCNC on Windows. root is a
// user like any other: `sudo brimocnc` reads /root/.config/brimocnc.
//
// Builds before this one kept brimo.cfg beside the executable. The window
// takes such a file over once, by copying it, when the user has none yet;
// the simulation reads it in place (it never writes), so both read the same
// settings.
#pragma once

#include <filesystem>
#include <string>

namespace brimo {

// The folder of the running executable (empty when the system does not
// say).
std::filesystem::path ExecutableFolder();

// This user's configuration folder for BrimoCNC, or empty when the
// environment names no home (then the settings stay beside the program, as
// they always did).
std::filesystem::path UserConfigFolder();

// The window: the folder whose brimo.cfg it reads and saves. Creates the
// user's folder; when it holds no brimo.cfg and `programFolder` does, copies
// that one in and says so in `note` (empty otherwise). Falls back to
// `programFolder` when there is no user folder or it cannot be made.
std::filesystem::path PrepareConfigFolder(const std::filesystem::path& programFolder,
                                          std::string& note);

// The simulation: the brimo.cfg the window would load, without writing
// anything: the user's when it exists, else an old one beside the program
// when that exists, else the user's (missing: the defaults apply).
std::filesystem::path ConfigFileToRead(const std::filesystem::path& programFolder);

// The sample programs: gcodes/ beside the executable (a build folder, the
// Windows zip), else ../share/brimocnc/gcodes (installed). The first when
// neither exists.
std::filesystem::path SamplesFolder(const std::filesystem::path& programFolder);

}  // namespace brimo
