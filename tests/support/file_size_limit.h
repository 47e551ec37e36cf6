#pragma once

// Starting a child whose files may not grow beyond a size: the way to make
// writes fail without a full disk and without root.

#include <cstdint>
#include <optional>

#include "base/failure.h"
#include "child_process/child_process.h"

namespace qlx::testing_support {

/// Whether this platform can start a child with a file size limit (POSIX:
/// RLIMIT_FSIZE; not on Windows).
bool file_size_limits_supported();

/// start_child(), the child's files limited to `limit` bytes when given: a
/// write that would grow a file beyond it fails with EFBIG (SIGXFSZ is
/// ignored in the child).  The limit is set before the child starts.
Result<ChildProcess> start_child_limited(const ChildOptions& options,
                                         std::optional<std::uint64_t> limit);

}  // namespace qlx::testing_support
