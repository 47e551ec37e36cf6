#include <windows.h>

#include <string>
#include <vector>

#include "platform/error.h"
#include "platform/launch.h"

namespace qlx {

Result<void> launch_detached(const Path& program) {
  // One inheritable handle on the null device serves as the program's
  // standard input, output and error.
  SECURITY_ATTRIBUTES inheritable{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  HANDLE null =
      CreateFileW(L"NUL", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                  &inheritable, OPEN_EXISTING, 0, nullptr);
  if (null == INVALID_HANDLE_VALUE) return fail(last_system_failure());

  // The handle list makes it the only handle the program inherits, whatever
  // else of ours happens to be inheritable.
  SIZE_T size = 0;
  InitializeProcThreadAttributeList(nullptr, 1, 0, &size);
  std::vector<std::byte> storage(size);
  auto* attributes = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(storage.data());
  if (!InitializeProcThreadAttributeList(attributes, 1, 0, &size)) {
    const Failure failure = last_system_failure();
    CloseHandle(null);
    return fail(failure);
  }
  if (!UpdateProcThreadAttribute(attributes, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, &null,
                                 sizeof null, nullptr, nullptr)) {
    const Failure failure = last_system_failure();
    DeleteProcThreadAttributeList(attributes);
    CloseHandle(null);
    return fail(failure);
  }

  STARTUPINFOEXW startup{};
  startup.StartupInfo.cb = sizeof startup;
  startup.StartupInfo.dwFlags = STARTF_USESTDHANDLES;
  startup.StartupInfo.hStdInput = null;
  startup.StartupInfo.hStdOutput = null;
  startup.StartupInfo.hStdError = null;
  startup.lpAttributeList = attributes;

  // The command line is the quoted path alone: no argument.
  std::wstring command_line = L"\"" + program.native() + L"\"";
  PROCESS_INFORMATION started{};
  const BOOL created = CreateProcessW(program.c_str(), command_line.data(), nullptr, nullptr, TRUE,
                                      CREATE_UNICODE_ENVIRONMENT | EXTENDED_STARTUPINFO_PRESENT,
                                      nullptr, nullptr, &startup.StartupInfo, &started);
  const DWORD error = GetLastError();
  DeleteProcThreadAttributeList(attributes);
  CloseHandle(null);
  if (!created) return fail(system_failure(error));
  // Never waited for: drop the handles at once.
  CloseHandle(started.hThread);
  CloseHandle(started.hProcess);
  return {};
}

}  // namespace qlx
