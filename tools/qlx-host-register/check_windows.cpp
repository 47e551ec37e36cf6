#include <windows.h>

#include "check.h"

namespace qlx::host_register {

bool is_executable_file(const Path& path) {
  // Windows has no execute permission to check; the browser starts any file
  // that it can open.
  const DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

std::vector<std::string> browser_arguments(BrowserFamily family, const Path& manifest,
                                           std::string_view caller) {
  // Chromium passes the caller's origin and the window that asked (none here);
  // Firefox the manifest's path and the add-on id.
  if (family == BrowserFamily::kFirefox) return {path_to_utf8(manifest), std::string(caller)};
  return {std::string(caller), "--parent-window=0"};
}

ChildStopper::ChildStopper(const ChildProcess& child) {
  HANDLE own = nullptr;
  if (DuplicateHandle(GetCurrentProcess(), reinterpret_cast<HANDLE>(child.process),
                      GetCurrentProcess(), &own, PROCESS_TERMINATE | SYNCHRONIZE, FALSE, 0)) {
    native = reinterpret_cast<std::intptr_t>(own);
  }
}

ChildStopper::~ChildStopper() {
  if (native != -1) CloseHandle(reinterpret_cast<HANDLE>(native));
}

void stop_child(const ChildStopper& stopper) {
  if (stopper.native != -1) TerminateProcess(reinterpret_cast<HANDLE>(stopper.native), 1);
}

}  // namespace qlx::host_register
