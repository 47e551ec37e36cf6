#include <windows.h>

#include "support/growth_fault.h"

namespace qlx::testing_support {

namespace {

constexpr DWORD kLockedBytes = 1 << 20;

}  // namespace

GrowthFault::GrowthFault(const Path& file, std::uint64_t length) {
  const HANDLE handle = CreateFileW(file.c_str(), GENERIC_READ | GENERIC_WRITE,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return;
  holder = NativeHandle(reinterpret_cast<std::intptr_t>(handle));
  saved_limit = length;
  OVERLAPPED range{};
  range.Offset = static_cast<DWORD>(length & 0xFFFFFFFFu);
  range.OffsetHigh = static_cast<DWORD>(length >> 32);
  armed = LockFileEx(handle, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, kLockedBytes,
                     0, &range) != 0;
}

GrowthFault::~GrowthFault() {
  if (!armed) return;
  OVERLAPPED range{};
  range.Offset = static_cast<DWORD>(saved_limit & 0xFFFFFFFFu);
  range.OffsetHigh = static_cast<DWORD>(saved_limit >> 32);
  UnlockFileEx(reinterpret_cast<HANDLE>(holder.value), 0, kLockedBytes, 0, &range);
}

}  // namespace qlx::testing_support
