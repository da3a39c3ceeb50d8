#include "core/machine/config_location.h"

#include <cstdlib>
#include <system_error>

#include "core/machine/config_file.h"
#include "core/machine/messages.h"

#if defined(_WIN32)
#include <windows.h>
#endif

namespace fs = std::filesystem;

namespace brimo {

namespace {

bool IsFile(const fs::path& p) {
  std::error_code ec;
  return fs::is_regular_file(p, ec);
}

}  // namespace

fs::path ExecutableFolder() {
#if defined(_WIN32)
  std::wstring name(MAX_PATH, L'\0');
  for (;;) {
    const DWORD n = GetModuleFileNameW(nullptr, name.data(), static_cast<DWORD>(name.size()));
    if (n == 0) return {};
    if (n < name.size()) {
      name.resize(n);
      return fs::path(name).parent_path();
    }
    name.resize(name.size() * 2);  // a long path: try again with room
  }
#elif defined(__linux__)
  std::error_code ec;
  const fs::path exe = fs::read_symlink("/proc/self/exe", ec);
  return ec ? fs::path() : exe.parent_path();
#else
  return {};
#endif
}

fs::path UserConfigFolder() {
#if defined(_WIN32)
  const wchar_t* appData = _wgetenv(L"APPDATA");
  if (appData && *appData) return fs::path(appData) / "BrimoCNC";
  return {};
#else
  // XDG: a relative XDG_CONFIG_HOME is to be ignored.
  const char* xdg = std::getenv("XDG_CONFIG_HOME");
  if (xdg && *xdg == '/') return fs::path(xdg) / "brimocnc";
  const char* home = std::getenv("HOME");
  if (home && *home) return fs::path(home) / ".config" / "brimocnc";
  return {};
#endif
}

fs::path PrepareConfigFolder(const fs::path& programFolder, std::string& note) {
  note.clear();
  const fs::path folder = UserConfigFolder();
  if (folder.empty()) return programFolder;
  std::error_code ec;
  fs::create_directories(folder, ec);
  if (ec) return programFolder;
  const fs::path old = programFolder / kConfigName;
  const fs::path own = folder / kConfigName;
  if (!programFolder.empty() && !IsFile(own) && IsFile(old)) {
    // A copy, never a move: an older build started from the same folder
    // still finds its file.
    fs::copy_file(old, own, fs::copy_options::skip_existing, ec);
    if (!ec) note = msg::kConfigTakenOver + old.string() + msg::kConfigTakenOverTo + own.string();
  }
  return folder;
}

fs::path ConfigFileToRead(const fs::path& programFolder) {
  const fs::path folder = UserConfigFolder();
  if (folder.empty()) return programFolder / kConfigName;
  const fs::path own = folder / kConfigName;
  const fs::path old = programFolder / kConfigName;
  if (!IsFile(own) && !programFolder.empty() && IsFile(old)) return old;
  return own;
}

fs::path SamplesFolder(const fs::path& programFolder) {
  const fs::path beside = programFolder / "gcodes";
  const fs::path installed = programFolder.parent_path() / "share" / "brimocnc" / "gcodes";
  std::error_code ec;
  if (!fs::is_directory(beside, ec) && fs::is_directory(installed, ec)) return installed;
  return beside;
}

}  // namespace brimo
