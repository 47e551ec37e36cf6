#pragma once

// Private to the POSIX platform files: the one descriptor wrapper, the one
// way to open a file of the data directory, and the one write-all loop.

#include <cstdint>
#include <string_view>

#include <sys/types.h>

#include "base/failure.h"
#include "platform/fs.h"

namespace qlx {

/// A descriptor, closed when the record goes out of scope.
struct Fd {
  int value = -1;
  Fd() = default;
  explicit Fd(int v) : value(v) {}
  Fd(Fd&& other) noexcept : value(other.value) { other.value = -1; }
  Fd& operator=(Fd&&) = delete;
  Fd(const Fd&) = delete;
  ~Fd();
  /// Hands the descriptor over; the record no longer closes it.
  int release();
};

/// An open regular file and its length when it was opened.
struct RegularFile {
  Fd fd;
  std::uint64_t size = 0;
};

/// Opens `path` with `flags` (and `mode` when creating) so that the open
/// itself cannot block: with O_NONBLOCK, which is cleared again once the file
/// is known to be a regular file.  A FIFO, a device, a socket or a directory
/// gives "not a regular file" (also when the system refuses to open it as
/// such); other failures give the system text.
Result<RegularFile> open_regular_file(const Path& path, int flags, mode_t mode = 0);

/// Where write_all() writes when given no offset: at the descriptor's position
/// (the end, for a file opened with O_APPEND).
inline constexpr std::int64_t kAtPosition = -1;

/// Writes all of `bytes` at `offset` (or at the position), continuing after
/// partial and interrupted writes; a write that accepts nothing gives "failed
/// to write whole buffer", a failing one its system text.
Result<void> write_all(int fd, std::string_view bytes, std::int64_t offset = kAtPosition);

/// Cuts or extends the file to `size` bytes.
Result<void> set_file_length(int fd, std::uint64_t size);

}  // namespace qlx
