#include <windows.h>

#include <thread>

#include "platform/error.h"
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

Result<FileLock> lock_file(const Path& path, std::chrono::milliseconds timeout) {
  const HANDLE file = CreateFileW(path.c_str(), GENERIC_READ,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return fail(last_system_failure());
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
      return lock;
    }
    const DWORD code = GetLastError();
    if (code != ERROR_LOCK_VIOLATION) return fail(system_failure(code));
    if (std::chrono::steady_clock::now() >= deadline) return fail("timed out waiting for a lock");
    std::this_thread::sleep_for(std::chrono::microseconds(50));
  }
}

}  // namespace qlx
