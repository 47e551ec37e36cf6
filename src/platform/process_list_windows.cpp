#include <windows.h>

#include <tlhelp32.h>

#include <cwchar>
#include <string_view>

#include "platform/process_list.h"
#include "platform/utf16_windows.h"

namespace qlx {

std::uint32_t current_process_id() {
  return GetCurrentProcessId();
}

std::vector<ProcessEntry> list_processes(std::size_t) {
  // Windows offers no cheap way to read one process's parent and name, so the
  // walk gets the whole snapshot.
  std::vector<ProcessEntry> processes;
  const HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return processes;
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof entry;
  for (BOOL more = Process32FirstW(snapshot, &entry); more;
       more = Process32NextW(snapshot, &entry)) {
    const std::size_t length = wcsnlen(entry.szExeFile, MAX_PATH);
    processes.push_back({entry.th32ProcessID, entry.th32ParentProcessID,
                         utf16_to_utf8(std::wstring_view(entry.szExeFile, length))});
  }
  CloseHandle(snapshot);
  return processes;
}

}  // namespace qlx
