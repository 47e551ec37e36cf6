#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "base/byte_sink.h"
#include "base/failure.h"
#include "platform/held_file.h"
#include "platform/native_handle.h"

namespace qlx {

/// A native path: UTF-16 on Windows (any sequence of units), bytes on POSIX.
using Path = std::filesystem::path;

/// One attempt to create one directory (no parents).  On POSIX the directory
/// gets mode 0700: the tree holds the user's own browser files.
enum class CreateDirStatus { kCreated, kParentMissing, kFailed };
struct CreateDirResult {
  CreateDirStatus status;
  Failure failure;  // the system text, unless kCreated
};
CreateDirResult create_directory(const Path& path);

/// Metadata queries; both follow links and treat any failure as "no".
bool path_exists(const Path& path);
bool is_directory(const Path& path);

// Every file in the data directory is shared with another program, so any
// of them may turn out to be a FIFO, a device, a directory or a link to one.
// Files are opened so that the open itself cannot block, and then refused
// with this text unless they are regular files.
inline constexpr char kNotRegularFile[] = "not a regular file";

/// The most of any one file that the host reads into memory.
inline constexpr std::uint64_t kMaxFileRead = 16 * 1024 * 1024;

/// Length of the file in bytes, following links; kNotRegularFile for
/// anything but a regular file.
Result<std::uint64_t> file_size(const Path& path);

/// Creates the file or truncates it, writes all of `bytes` and closes it.  On
/// POSIX a new file gets mode 0600.  kNotRegularFile (nothing written) when
/// the path names anything but a regular file.  `when` decides what a file
/// that another program holds does (held_file.h), here and below.
Result<void> write_file(const Path& path, std::string_view bytes, WhenHeld when = WhenHeld::kFail);

/// write_file() of what `produce` hands to its sink, each piece written as it
/// comes (so a long text need never be held whole).  The first failure of a
/// write or of `produce` ends it; the file then holds what came before.
Result<void> write_file_from(const Path& path, const ByteProducer& produce,
                             WhenHeld when = WhenHeld::kFail);

/// The whole content of a regular file of at most `max_bytes`, or nullopt
/// when it is larger: then it is not read whole, and no more than `max_bytes`
/// of it are ever held.  kNotRegularFile for anything but a regular file.
Result<std::optional<std::string>> read_file_up_to(const Path& path, std::uint64_t max_bytes,
                                                   WhenHeld when = WhenHeld::kFail);

/// The whole content of a regular file of at most kMaxFileRead bytes; a
/// larger one gives "file is larger than 16 MiB".
Result<std::string> read_file(const Path& path, WhenHeld when = WhenHeld::kFail);

/// Deletes a file.  Callers doing clean-up ignore the result.
Result<void> remove_file(const Path& path, WhenHeld when = WhenHeld::kFail);

/// Gives the file `from` the name `to` in one step, so that `to` appears with
/// all of its content or not at all.  Both lie on the same volume.  An
/// existing `to` is a failure on Windows and replaced on POSIX: callers give
/// a name that nobody else uses.  On Windows a `from` that another program
/// holds is waited out as `when` says.
Result<void> rename_file(const Path& from, const Path& to, WhenHeld when = WhenHeld::kFail);

/// A file opened for appending only; closed when the record goes out of scope.
struct AppendFile {
  NativeHandle handle;
};

/// Opens an existing regular file for appending; never creates or truncates
/// it (a missing file gives the system's file-not-found text, anything but a
/// regular file kNotRegularFile).
Result<AppendFile> open_for_append(const Path& path, WhenHeld when = WhenHeld::kFail);

/// Writes all of `bytes` at the end of the file, continuing after partial
/// writes; a write that accepts nothing gives "failed to write whole buffer".
Result<void> append_all(AppendFile& file, std::string_view bytes);

/// The path as UTF-8 text; on Windows unpaired surrogates become U+FFFD.
std::string path_to_utf8(const Path& path);

/// The full path of the running executable, or a failure.
Result<Path> current_executable_path();

}  // namespace qlx
