#pragma once

// Files that another program holds.  On Windows a scanner, an indexer, a
// backup tool or the file's own writer may keep a file of the data directory
// open with a share mode that refuses the host's access, or keep a byte range
// of it locked, for tens or hundreds of milliseconds after it was written: an
// open or a deletion then fails with a sharing or lock violation
// (ERROR_SHARING_VIOLATION, ERROR_LOCK_VIOLATION).  POSIX has no such
// refusal: there, every choice below acts as today.

#include <filesystem>

namespace qlx {

/// What an open or a deletion does when the file is held.
enum class WhenHeld {
  kFail,         ///< fail at once with the system text (the per-message path)
  kWaitBriefly,  ///< try again after short pauses, about 1 s in all, then fail so
};

/// Whether a file is there for the host to read.
enum class Presence {
  kMissing,  ///< no such file (or its metadata cannot be queried)
  kHeld,     ///< it exists, but another program holds it so that it cannot be read now
  kPresent,  ///< it exists and nobody holds it (reading may still fail for other reasons)
};

/// The presence of `path`, following links: one metadata query.  On POSIX
/// only kMissing or kPresent, exactly as path_exists() answers.
Presence file_presence(const std::filesystem::path& path);

}  // namespace qlx
