#pragma once

#include <chrono>

#include "base/failure.h"
#include "platform/fs.h"
#include "platform/native_handle.h"

namespace qlx {

/// An exclusive lock taken on a lock file of its own, released when the record
/// goes out of scope.  It only excludes other holders of the same lock: the
/// file's content stays empty, and nobody who reads or writes other files is
/// ever blocked by it.
struct FileLock {
  NativeHandle handle;
};

enum class LockOutcome {
  kLocked,         // `lock` holds it
  kHeldElsewhere,  // another holder kept it for the whole timeout
  kUnusable,       // the lock file cannot be opened or locked at all
};

struct LockAttempt {
  LockOutcome outcome;
  FileLock lock;
  Failure failure;  // unless kLocked: "timed out waiting for a lock", or why it is unusable
};

/// Opens `path` (creating it empty when missing; on POSIX with mode 0600) and
/// takes its exclusive lock, trying again until `timeout` has passed.  The
/// open cannot block; a lock file that is no regular file (kNotRegularFile),
/// that cannot be opened (its system text) or that the system cannot lock is
/// kUnusable.
LockAttempt lock_file(const Path& path, std::chrono::milliseconds timeout);

}  // namespace qlx
