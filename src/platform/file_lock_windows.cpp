#include <windows.h>

#include "platform/error.h"
#include "platform/file_lock.h"

namespace qlx {
namespace {

// The lock covers the first byte of the lock file, which stays empty: Windows
// locks are mandatory, so they must never sit on a file that anyone reads.
constexpr DWORD kLockLength = 1;

struct Event {
  HANDLE handle = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  Event() = default;
  Event(const Event&) = delete;
  Event& operator=(const Event&) = delete;
  ~Event() {
    if (handle != nullptr) CloseHandle(handle);
  }
};

}  // namespace

FileLock::~FileLock() {
  if (native == -1) return;
  const HANDLE file = reinterpret_cast<HANDLE>(native);
  OVERLAPPED range{};
  UnlockFileEx(file, 0, kLockLength, 0, &range);
  CloseHandle(file);
}

Result<FileLock> lock_file(const Path& path, std::chrono::milliseconds timeout) {
  // Overlapped, so that a waiting LockFileEx can be given up after `timeout`;
  // waiters are then served in turn.
  const HANDLE file = CreateFileW(
      path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
      OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OVERLAPPED, nullptr);
  if (file == INVALID_HANDLE_VALUE) return fail(last_system_failure());
  FileLock lock(reinterpret_cast<std::intptr_t>(file));
  Event done;
  if (done.handle == nullptr) return fail(last_system_failure());
  OVERLAPPED request{};
  request.hEvent = done.handle;
  if (LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK, 0, kLockLength, 0, &request)) return lock;
  if (GetLastError() != ERROR_IO_PENDING) return fail(last_system_failure());
  const DWORD waited = WaitForSingleObject(done.handle, static_cast<DWORD>(timeout.count()));
  if (waited != WAIT_OBJECT_0) CancelIoEx(file, &request);
  // After a cancellation the request may still have been granted meanwhile.
  DWORD ignored = 0;
  if (GetOverlappedResult(file, &request, &ignored, TRUE)) return lock;
  const DWORD code = GetLastError();
  if (code == ERROR_OPERATION_ABORTED) return fail("timed out waiting for a lock");
  return fail(system_failure(code));
}

}  // namespace qlx
