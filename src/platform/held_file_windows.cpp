#include "platform/held_file_windows.h"

#include <array>

#include "platform/fs.h"

namespace qlx {
namespace {

/// The pauses between attempts: 1 s in all, short at first, since most
/// holders let go within tens of milliseconds.
constexpr std::array<DWORD, 8> kPausesMs{10, 20, 40, 80, 160, 250, 250, 190};

}  // namespace

bool is_held_error(DWORD code) {
  return code == ERROR_SHARING_VIOLATION || code == ERROR_LOCK_VIOLATION;
}

bool pause_while_held(WhenHeld when, DWORD code, int& round) {
  if (when != WhenHeld::kWaitBriefly || !is_held_error(code)) return false;
  if (round >= static_cast<int>(kPausesMs.size())) return false;
  Sleep(kPausesMs[static_cast<std::size_t>(round++)]);
  return true;
}

Presence file_presence(const Path& path) {
  // Opened for reading as the host reads it, so that a share mode that
  // refuses reading shows; a directory opens too (and fails to read later).
  const HANDLE file = CreateFileW(path.c_str(), GENERIC_READ,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (file != INVALID_HANDLE_VALUE) {
    CloseHandle(file);
    return Presence::kPresent;
  }
  const DWORD code = GetLastError();
  if (is_held_error(code)) return Presence::kHeld;
  if (code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND) return Presence::kMissing;
  // Refused for another reason (no permission to read): it is there, and
  // reading it reports why.
  return path_exists(path) ? Presence::kPresent : Presence::kMissing;
}

}  // namespace qlx
