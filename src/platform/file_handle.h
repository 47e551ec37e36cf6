#pragma once

// Private to the platform files: the one way to open a file of the data
// directory, and the few calls on an open file that each platform defines
// (file_handle_posix.cpp, file_handle_windows.cpp).  Writing, reading,
// appending and rewriting are written once above them.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "base/failure.h"
#include "platform/fs.h"
#include "platform/native_handle.h"

namespace qlx {

/// What a file is opened for, and what happens when it is missing.  On POSIX
/// a file created so gets mode 0600.
enum class FileAccess {
  kRead,               // an existing file, for reading
  kLock,               // for locking only (never read or written); created empty
  kReadWriteOrCreate,  // for reading and writing in place; created empty
  kWriteOrCreate,      // for writing in place; created empty
  kTruncate,           // for writing; created, or emptied when it exists
  kAppend,             // an existing file; every write lands at its end
};

/// An open regular file and its length when it was opened.
struct RegularFile {
  NativeHandle handle;
  std::uint64_t size = 0;
};

/// Opens `path` so that the open itself cannot block (on POSIX with
/// O_NONBLOCK, which stays set: it changes nothing for a regular file, and
/// read_some() and write_some() clear it should a call answer that it would
/// block; on Windows sharing it fully).  A FIFO, a device, a socket or a directory gives
/// kNotRegularFile (also when the system refuses to open it as such); other
/// failures give the system text.  A file that another program holds is
/// waited out as `when` says (held_file.h).
Result<RegularFile> open_regular_file(const Path& path, FileAccess access,
                                      WhenHeld when = WhenHeld::kFail);

/// Reads at most `room` bytes at the file's position: the count read, 0 at
/// the end.
Result<std::size_t> read_some(const NativeHandle& file, char* buffer, std::size_t room);

/// Where write_some() writes when given no offset: at the file's position
/// (the end, for a file opened with kAppend).
inline constexpr std::int64_t kAtPosition = -1;

/// Writes a first part of `bytes` at `offset` (or at the position): the count
/// written.  Interrupted writes are tried again.
Result<std::size_t> write_some(const NativeHandle& file, std::string_view bytes,
                               std::int64_t offset);

/// Cuts or extends the file to `size` bytes.
Result<void> set_file_length(const NativeHandle& file, std::uint64_t size);

/// Tries once to take the exclusive lock of a file opened with kLock: true
/// when taken (it is released when the handle is closed), false when another
/// holder has it.
Result<bool> try_lock_file(NativeHandle& file);

/// Writes all of `bytes` at `offset` (or at the position), continuing after
/// partial writes; a write that accepts nothing gives "failed to write whole
/// buffer", a failing one its system text.
Result<void> write_all(const NativeHandle& file, std::string_view bytes,
                       std::int64_t offset = kAtPosition);

/// The whole content of an open file of at most `max_bytes`, nullopt when it
/// is larger (then no more than `max_bytes` of it are ever held).
Result<std::optional<std::string>> read_all_up_to(const RegularFile& file, std::uint64_t max_bytes);

}  // namespace qlx
