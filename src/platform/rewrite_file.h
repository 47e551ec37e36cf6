#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "base/failure.h"
#include "platform/fs.h"

namespace qlx {

/// Replaces the whole content of a small file in place, creating it when
/// missing (on POSIX with mode 0600).  On success the file holds exactly
/// `bytes`; anything but a regular file gives kNotRegularFile and is not
/// touched.
///
/// Between any two system calls the file holds its old or its new content,
/// possibly followed by spaces, so a JSON file parses as one or the other at
/// every instant (a host killed halfway leaves no torn file):
///  1. a longer content first grows the file with spaces past its old end;
///     when that fails (a full disk, a file size limit) the file is cut back
///     and the old content stays whole;
///  2. the new content, padded with spaces to the old length when it is
///     shorter, is written at the start in one write;
///  3. a shorter content is then cut to its length.
/// So a rewrite is at most two writes and one cut.  (Only when the padding
/// would exceed 1 MiB, a file that large being none of ours, the file is cut
/// first instead.)
///
/// Unlike write_file() it never empties the file first: a reader that comes
/// in between sees old or new bytes rather than an empty file, and ext4 does
/// not force the data to disk on close as it does for a file truncated to
/// zero and rewritten (which costs milliseconds per write).
Result<void> rewrite_file(const Path& path, std::string_view bytes);

/// Makes a file's new content of its old one: the old content, or nullopt
/// when the file holds more than the bound given to edit_file().
using FileEdit = std::function<std::string(const std::optional<std::string>& old_content)>;

/// Opens `path` for reading and writing (creating it empty when missing),
/// reads it whole (up to `max_bytes`) and rewrites it in place through the
/// same handle with what `edit` makes of the content, as rewrite_file() does.
/// A file that cannot be opened (refused permission, another program's share
/// mode, not a regular file) or read (an I/O error) is left as it is: its
/// failure is returned and `edit` is not called.
Result<void> edit_file(const Path& path, std::uint64_t max_bytes, const FileEdit& edit);

}  // namespace qlx
