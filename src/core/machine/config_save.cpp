// brimo.cfg on disk: a save goes through a temporary file renamed over the
// old one, flushed to the disk first, so a failed or interrupted save never
// leaves a truncated configuration; start-up keeps a damaged file's bytes
// before rewriting it. What the file holds and how it reads back is
// config_file.cpp.

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <system_error>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

#include "core/machine/config_file.h"
#include "core/machine/machine_state.h"
#include "core/machine/messages.h"
#include "core/machine/window.h"

namespace brimo {

namespace fs = std::filesystem;

namespace {

std::FILE* OpenForWrite(const fs::path& p) {
#ifdef _WIN32
  return _wfopen(p.c_str(), L"wb");
#else
  return std::fopen(p.c_str(), "wb");
#endif
}

std::size_t WriteBytes(const void* data, std::size_t bytes, std::FILE* f) {
  return std::fwrite(data, 1, bytes, f);
}

int FlushBuffer(std::FILE* f) { return std::fflush(f); }

int SyncToDisk(std::FILE* f) {
#ifdef _WIN32
  return _commit(_fileno(f));
#else
  return fsync(fileno(f));
#endif
}

int CloseFile(std::FILE* f) { return std::fclose(f); }

void RenameFile(const fs::path& from, const fs::path& to, std::error_code& ec) {
  fs::rename(from, to, ec);
}

// Pushes the written bytes to the disk before the rename, so the rename can
// never publish a file whose contents a crash would lose.
bool FlushToDisk(std::FILE* f, const ConfigFileOps& ops) {
  return ops.flush(f) == 0 && ops.sync(f) == 0;
}

std::string ErrnoText(int err) { return std::generic_category().message(err); }

}  // namespace

const ConfigFileOps& SystemFileOps() {
  static const ConfigFileOps ops{OpenForWrite, WriteBytes, FlushBuffer,
                                 SyncToDisk,   CloseFile,  RenameFile};
  return ops;
}

bool SaveConfiguration(const std::string& folder, const MachineState& ms, const SettingsForm& form,
                       std::string& why, bool* readOnly, const ConfigFileOps& ops) {
  if (readOnly) *readOnly = false;
  const fs::path dir = folder.empty() ? fs::path(".") : fs::path(folder);
  fs::path target = dir / kConfigName;
  std::error_code ec;
  // A brimo.cfg that is a symbolic link stays one: the file it points to is
  // replaced (its temporary file beside it, so the rename stays on one file
  // system).
  if (fs::is_symlink(fs::symlink_status(target, ec))) {
    fs::path resolved = fs::weakly_canonical(target, ec);
    if (ec) {
      why = msg::kConfigWriteFailed + dir.string() + " (" + ec.message() + ").";
      return false;
    }
    target = resolved;
  }
  const fs::path temp = target.parent_path() / (target.filename().string() + ".tmp");
  const std::string text = ConfigText(ms, form);

  // A file without write permission was made read-only on purpose: renaming
  // over it would replace it silently. The permission bits decide, so the
  // rule holds for every user.
  if (auto st = fs::status(target, ec); !ec && fs::is_regular_file(st)) {
    constexpr fs::perms kWrite =
        fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write;
    if ((st.permissions() & kWrite) == fs::perms::none) {
      if (readOnly) *readOnly = true;
      why = std::string(msg::kConfigReadOnly) + " (" + target.string() + ").";
      return false;
    }
  }

  // The old file stays whole until the new one is complete on disk.
  errno = 0;
  std::FILE* f = ops.open(temp);
  if (!f) {
    why = msg::kConfigWriteFailed + temp.parent_path().string() + " (" + ErrnoText(errno) + ").";
    return false;
  }
  bool written = ops.write(text.data(), text.size(), f) == text.size();
  int err = written ? 0 : errno;
  if (written && !FlushToDisk(f, ops)) written = false, err = errno;
  if (ops.close(f) != 0 && written) written = false, err = errno;
  if (!written) {
    fs::remove(temp, ec);
    why = msg::kConfigWriteFailed + temp.parent_path().string() + " (" + ErrnoText(err) + ").";
    return false;
  }
  // Keep the operator's file permissions on the replacement.
  if (auto st = fs::status(target, ec); !ec && fs::exists(st))
    fs::permissions(temp, st.permissions(), ec);
  ops.rename(temp, target, ec);
  if (ec) {
    std::error_code ignored;
    fs::remove(temp, ignored);
    why = msg::kConfigWriteFailed + temp.parent_path().string() + " (" + ec.message() + ").";
    return false;
  }
  return true;
}

bool SaveConfiguration(const std::string& folder, MachineState& ms, const SettingsForm& form,
                       Window& win, const ConfigFileOps& ops) {
  std::string why;
  bool readOnly = false;
  if (SaveConfiguration(folder, ms, form, why, &readOnly, ops)) return true;
  if (readOnly && ms.ConfigReadOnlyTold) return false;
  if (readOnly) ms.ConfigReadOnlyTold = true;
  win.Message(msg::kConfigNotSaved + why, msg::kConfigTitle);
  return false;
}

namespace {

// Keeps the damaged file's bytes under the first free name of
// brimo.cfg.bad, brimo.cfg.bad.2 ... brimo.cfg.bad.5. An existing copy is
// never overwritten (the file is created exclusively) and an empty file is
// not kept (`kept` stays empty). False with `why` when no copy could be made.
bool KeepDamagedFile(const fs::path& dir, std::string& kept, std::string& why) {
  kept.clear();
  std::ifstream in(dir / kConfigName, std::ios::binary);
  std::string bytes;
  if (in) bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  if (!in && !in.eof()) {
    why = msg::kConfigCannotOpen;
    return false;
  }
  if (bytes.empty()) return true;
  for (int slot = 1; slot <= 5; ++slot) {
    const std::string name =
        std::string(kConfigBadName) + (slot == 1 ? "" : "." + std::to_string(slot));
    const fs::path p = dir / name;
    std::error_code ec;
    if (fs::exists(fs::symlink_status(p, ec))) continue;
#ifdef _WIN32
    std::FILE* f = _wfopen(p.c_str(), L"wbx");
#else
    std::FILE* f = std::fopen(p.c_str(), "wbx");
#endif
    if (!f) {
      if (errno == EEXIST) continue;
      why = ErrnoText(errno);
      return false;
    }
    bool written = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    int err = written ? 0 : errno;
    if (written && !FlushToDisk(f, SystemFileOps())) written = false, err = errno;
    if (std::fclose(f) != 0 && written) written = false, err = errno;
    if (!written) {
      fs::remove(p, ec);  // never leave a partial or empty copy
      why = ErrnoText(err);
      return false;
    }
    kept = name;
    return true;
  }
  why = msg::kConfigBadSlotsFull;
  return false;
}

}  // namespace

ConfigResult StartupConfiguration(const std::string& folder, MachineState& ms, SettingsForm& form,
                                  const std::string& feedDisplay, Window& win) {
  // The defaults first: a missing or unreadable file must never leave the
  // machine with zero step sizes or rates (a move would divide by them).
  ApplyFormSettings(ms, form, feedDisplay);
  ConfigResult r = LoadConfiguration(folder, ms, form, feedDisplay);
  if (!r.ok && !r.missing) {
    // Defaults stand in for lines the operator wrote: a lead, a pin or a
    // reverse flag can now scale or turn an axis otherwise. Nothing goes to
    // the port until the operator has seen the settings and pressed "Ok".
    ms.Offline = true;
    ms.SettingsNeedConfirm = true;
    win.ShowOffline(true);
    // The save below rewrites brimo.cfg from the form; keep what the
    // operator had first, so no value is lost.
    const fs::path dir = folder.empty() ? fs::path(".") : fs::path(folder);
    std::string kept, why;
    std::string text = msg::kConfigDamaged + ConfigProblem(r) + "\n\n";
    if (!r.applied || !KeepDamagedFile(dir, kept, why)) {
      if (why.empty()) why = r.why;
      win.Message(text + msg::kConfigNotKept + why + "." + msg::kConfigOfflineUntilOk,
                  msg::kConfigTitle);
      return r;
    }
    // One message: the rewrite's outcome belongs to it.
    bool readOnly = false;
    if (SaveConfiguration(folder, ms, form, why, &readOnly)) {
      text += kept.empty() ? std::string(msg::kConfigEmptyNotKept)
                           : msg::kConfigKeptAs + kept + msg::kConfigKeptAsEnd;
    } else {
      if (readOnly) ms.ConfigReadOnlyTold = true;
      if (!kept.empty()) text += msg::kConfigKeptAs + kept + ".\n";
      text += msg::kConfigNotSaved + why;
    }
    win.Message(text + msg::kConfigOfflineUntilOk, msg::kConfigTitle);
    return r;
  }
  SaveConfiguration(folder, ms, form, win);
  return r;
}

}  // namespace brimo
