#include <windows.h>

#include <cstdint>

#include <gtest/gtest.h>

#include "support/file_age.h"

namespace qlx::testing_support {

void set_file_age(const Path& path, std::chrono::seconds age) {
  const HANDLE file = CreateFileW(
      path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
      nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE) << path.string() << ": error " << GetLastError();
  FILETIME now;
  GetSystemTimeAsFileTime(&now);
  // FILETIME counts 100-nanosecond intervals.
  const std::uint64_t then =
      ((static_cast<std::uint64_t>(now.dwHighDateTime) << 32) | now.dwLowDateTime) -
      static_cast<std::uint64_t>(age.count()) * 10'000'000u;
  FILETIME time{static_cast<DWORD>(then & 0xFFFFFFFFu), static_cast<DWORD>(then >> 32)};
  const BOOL set = SetFileTime(file, nullptr, &time, &time);
  const DWORD code = GetLastError();
  CloseHandle(file);
  ASSERT_TRUE(set) << path.string() << ": error " << code;
}

}  // namespace qlx::testing_support
