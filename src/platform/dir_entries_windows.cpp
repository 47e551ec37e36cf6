#include <windows.h>

#include "platform/clock.h"
#include "platform/dir_entries.h"
#include "platform/error.h"

namespace qlx {

Result<std::vector<Path>> dir_entry_names(const Path& dir) {
  WIN32_FIND_DATAW found;
  const HANDLE search = FindFirstFileExW((dir / L"*").c_str(), FindExInfoBasic, &found,
                                         FindExSearchNameMatch, nullptr, FIND_FIRST_EX_LARGE_FETCH);
  if (search == INVALID_HANDLE_VALUE) return fail(last_system_failure());
  std::vector<Path> names;
  DWORD code;
  for (;;) {
    const std::wstring_view name(found.cFileName);
    if (name != L"." && name != L"..") names.emplace_back(name);
    if (!FindNextFileW(search, &found)) {
      code = GetLastError();
      break;
    }
  }
  FindClose(search);
  if (code != ERROR_NO_MORE_FILES) return fail(system_failure(code));
  return names;
}

Result<std::uint64_t> modified_time_ms(const Path& path) {
  WIN32_FILE_ATTRIBUTE_DATA info;
  if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &info)) {
    return fail(last_system_failure());
  }
  return filetime_to_unix_ms(
      (static_cast<std::uint64_t>(info.ftLastWriteTime.dwHighDateTime) << 32) |
      info.ftLastWriteTime.dwLowDateTime);
}

}  // namespace qlx
