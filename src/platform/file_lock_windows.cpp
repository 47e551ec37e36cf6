#include <windows.h>

#include <thread>

#include "platform/error.h"
#include "platform/file_handle_windows.h"
#include "platform/file_lock.h"

namespace qlx {
namespace {

// The lock covers the first byte of the lock file, which stays empty: Windows
// locks are mandatory, so they must never sit on a file that anyone reads.
constexpr DWORD kLockLength = 1;

}  // namespace

FileLock::~FileLock() {
  if (native == -1) return;
  const HANDLE file = reinterpret_cast<HANDLE>(native);
  OVERLAPPED range{};
  UnlockFileEx(file, 0, kLockLength, 0, &range);
  CloseHandle(file);
}

LockAttempt lock_file(const Path& path, std::chrono::milliseconds timeout) {
  auto opened = open_regular_file(path, GENERIC_READ, OPEN_ALWAYS);
  if (!opened) return {LockOutcome::kUnusable, FileLock(), std::move(opened.error())};
  const HANDLE file = opened->handle.release();
  FileLock lock(reinterpret_cast<std::intptr_t>(file));
  // Poll rather than wait in LockFileEx: a waiting request cannot be given up
  // after a while on a synchronous handle, and Wine does not complete waiting
  // requests on overlapped ones.  Every waiter pauses alike, so none loses
  // every race to the others.
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    OVERLAPPED range{};
    if (LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, kLockLength, 0,
                   &range)) {
      return {LockOutcome::kLocked, std::move(lock), {}};
    }
    const DWORD code = GetLastError();
    if (code != ERROR_LOCK_VIOLATION) {
      return {LockOutcome::kUnusable, FileLock(), system_failure(code)};
    }
    if (std::chrono::steady_clock::now() >= deadline) {
      return {LockOutcome::kHeldElsewhere, FileLock(), Failure{"timed out waiting for a lock"}};
    }
    std::this_thread::sleep_for(std::chrono::microseconds(50));
  }
}

}  // namespace qlx
