#pragma once

// What a directory holds, for the clean-up of files that nobody will take.

#include <cstdint>
#include <vector>

#include "base/failure.h"
#include "platform/fs.h"

namespace qlx {

/// The names of the entries of the directory `dir` ("." and ".." left out),
/// in no particular order; the system text when it cannot be listed.
Result<std::vector<Path>> dir_entry_names(const Path& dir);

/// When the entry at `path` (not following a link) was last modified, in
/// whole milliseconds since 1970 (0 before); the system text when its
/// metadata cannot be queried.
Result<std::uint64_t> modified_time_ms(const Path& path);

}  // namespace qlx
