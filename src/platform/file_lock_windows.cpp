#include <windows.h>

#include "platform/error.h"
#include "platform/file_lock_native.h"

namespace qlx {
namespace {

// The first byte of the (empty) lock file: Windows locks are mandatory, so
// the lock lives on a file that nobody reads.
OVERLAPPED lock_range() {
  OVERLAPPED range{};
  return range;
}

}  // namespace

Result<std::intptr_t> open_lock_file(const Path& path) {
  const HANDLE file = CreateFileW(path.c_str(), GENERIC_READ,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return fail(last_system_failure());
  return reinterpret_cast<std::intptr_t>(file);
}

Result<LockAttempt> try_lock(std::intptr_t native) {
  OVERLAPPED range = lock_range();
  if (LockFileEx(reinterpret_cast<HANDLE>(native),
                 LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &range)) {
    return LockAttempt::kAcquired;
  }
  const DWORD code = GetLastError();
  if (code == ERROR_LOCK_VIOLATION || code == ERROR_IO_PENDING) return LockAttempt::kBusy;
  return fail(system_failure(code));
}

void close_lock_file(std::intptr_t native) {
  const HANDLE file = reinterpret_cast<HANDLE>(native);
  OVERLAPPED range = lock_range();
  // Fails harmlessly when the lock was never taken; closing releases it anyway.
  UnlockFileEx(file, 0, 1, 0, &range);
  CloseHandle(file);
}

}  // namespace qlx
