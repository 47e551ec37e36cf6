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

}  // namespace qlx::host_register
