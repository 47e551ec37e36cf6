#include "platform/file_lock.h"

#include <algorithm>
#include <thread>

#include "platform/file_lock_native.h"

namespace qlx {

FileLock::~FileLock() {
  if (native != -1) close_lock_file(native);
}

Result<FileLock> lock_file(const Path& path, std::chrono::milliseconds timeout) {
  auto opened = open_lock_file(path);
  if (!opened) return fail(std::move(opened.error()));
  FileLock lock(*opened);
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  // Holders keep the lock for well under a millisecond: poll briefly first,
  // then back off so that waiting processes do not spin.
  auto pause = std::chrono::microseconds(20);
  for (;;) {
    auto attempt = try_lock(lock.native);
    if (!attempt) return fail(std::move(attempt.error()));
    if (*attempt == LockAttempt::kAcquired) return lock;
    if (std::chrono::steady_clock::now() >= deadline) return fail("timed out waiting for a lock");
    std::this_thread::sleep_for(pause);
    pause = std::min(pause * 2, std::chrono::microseconds(1000));
  }
}

}  // namespace qlx
