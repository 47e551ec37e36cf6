#include <windows.h>

#include "platform/error.h"
#include "platform/file_handle.h"

namespace qlx {
namespace {

// The lock covers the first byte of the lock file, which stays empty: Windows
// locks are mandatory, so they must never sit on a file that anyone reads.
constexpr DWORD kLockLength = 1;

/// Releases the lock at once (closing alone may release it only later), then
/// closes the handle.
void unlock_and_close(std::intptr_t value) {
  const HANDLE file = reinterpret_cast<HANDLE>(value);
  OVERLAPPED range{};
  UnlockFileEx(file, 0, kLockLength, 0, &range);
  CloseHandle(file);
}

}  // namespace

Result<bool> try_lock_file(NativeHandle& file) {
  OVERLAPPED range{};
  if (LockFileEx(reinterpret_cast<HANDLE>(file.value),
                 LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, kLockLength, 0, &range)) {
    file.closer = unlock_and_close;
    return true;
  }
  const DWORD code = GetLastError();
  if (code == ERROR_LOCK_VIOLATION) return false;
  return fail(system_failure(code));
}

}  // namespace qlx
