#pragma once

// Private to the Windows platform files: the one handle wrapper, the one way
// to open a file of the data directory, and the one write-all loop.

#include <windows.h>

#include <cstdint>
#include <string_view>

#include "base/failure.h"
#include "platform/fs.h"
#include "platform/held_file.h"

namespace qlx {

/// A handle, closed when the record goes out of scope.
struct Handle {
  HANDLE value = INVALID_HANDLE_VALUE;
  Handle() = default;
  explicit Handle(HANDLE h) : value(h) {}
  Handle(Handle&& other) noexcept : value(other.value) { other.value = INVALID_HANDLE_VALUE; }
  Handle& operator=(Handle&&) = delete;
  Handle(const Handle&) = delete;
  ~Handle();
  bool valid() const { return value != INVALID_HANDLE_VALUE && value != nullptr; }
  /// Hands the handle over; the record no longer closes it.
  HANDLE release();
};

/// An open regular file and its length when it was opened.
struct RegularFile {
  Handle handle;
  std::uint64_t size = 0;
};

/// Opens `path` with `access` and `disposition`, sharing it fully, and
/// refuses what the system does not call a disk file (GetFileType): "not a
/// regular file", as for a directory.  Other failures give the system text.
/// A file that another program holds is waited out as `when` says.
Result<RegularFile> open_regular_file(const Path& path, DWORD access, DWORD disposition,
                                      WhenHeld when = WhenHeld::kFail);

/// Where write_all() writes when given no offset: at the handle's position
/// (the end, for a handle opened for appending only).
inline constexpr std::int64_t kAtPosition = -1;

/// Writes all of `bytes` at `offset` (or at the position), continuing after
/// partial writes; a write that accepts nothing gives "failed to write whole
/// buffer", a failing one its system text.
Result<void> write_all(HANDLE file, std::string_view bytes, std::int64_t offset = kAtPosition);

/// Cuts or extends the file to `size` bytes.
Result<void> set_file_length(HANDLE file, std::uint64_t size);

}  // namespace qlx
