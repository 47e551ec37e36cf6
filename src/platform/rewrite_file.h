#pragma once

#include <string_view>

#include "base/failure.h"
#include "platform/fs.h"

namespace qlx {

/// Replaces the whole content of a small file in place, creating it when
/// missing (on POSIX with mode 0600).  On success the file holds exactly
/// `bytes`.  When the content grows, it first reserves the space of the new
/// length and writes the bytes past the old end; then it overwrites the old
/// bytes, and cuts the file when the new content is shorter.  A failure to reserve or to grow
/// leaves the old content whole; anything but a regular file gives kNotRegularFile and is not
/// touched.
///
/// Unlike write_file() it never empties the file first: a reader that comes
/// in between sees old or new bytes rather than an empty file, and ext4 does
/// not force the data to disk on close as it does for a file truncated to
/// zero and rewritten (which costs milliseconds per write).
Result<void> rewrite_file(const Path& path, std::string_view bytes);

}  // namespace qlx
