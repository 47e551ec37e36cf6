#include <windows.h>

#include "check.h"

namespace qlx::host_register {

bool is_executable_file(const Path& path) {
  // Windows has no execute permission to check; the browser starts any file
  // that it can open.
  const DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

}  // namespace qlx::host_register
