#pragma once

// The per-platform halves of lock_file(): file_lock_posix.cpp (flock) and
// file_lock_windows.cpp (LockFileEx).  Only file_lock.cpp calls them.

#include <cstdint>

#include "core/failure.h"
#include "platform/fs.h"

namespace qlx {

enum class LockAttempt { kAcquired, kBusy };

/// Opens the lock file for reading, creating it empty when missing.
Result<std::intptr_t> open_lock_file(const Path& path);

/// One attempt that does not wait: kBusy while another holder has the lock.
Result<LockAttempt> try_lock(std::intptr_t native);

/// Releases the lock, if held, and closes the file.
void close_lock_file(std::intptr_t native);

}  // namespace qlx
