#include "platform/file_lock.h"

#include <thread>

#include "platform/file_handle.h"

namespace qlx {

LockAttempt lock_file(const Path& path, std::chrono::milliseconds timeout) {
  auto file = open_regular_file(path, FileAccess::kLock);
  if (!file) return {LockOutcome::kUnusable, FileLock(), std::move(file.error())};
  FileLock lock{std::move(file->handle)};
  // Poll rather than wait in the system: a waiting flock() or LockFileEx()
  // cannot be given up after a while (and Wine does not complete waiting
  // requests on overlapped handles).  The pause stays short and never grows:
  // a waiter that backed off further than the others would lose every race
  // against them and could wait in vain.
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    auto taken = try_lock_file(lock.handle);
    if (!taken) return {LockOutcome::kUnusable, FileLock(), std::move(taken.error())};
    if (*taken) return {LockOutcome::kLocked, std::move(lock), {}};
    if (std::chrono::steady_clock::now() >= deadline) {
      return {LockOutcome::kHeldElsewhere, FileLock(), Failure{"timed out waiting for a lock"}};
    }
    std::this_thread::sleep_for(std::chrono::microseconds(50));
  }
}

}  // namespace qlx
