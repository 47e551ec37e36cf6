#include <sys/stat.h>
#include <unistd.h>

#include "check.h"

namespace qlx::host_register {

bool is_executable_file(const Path& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
         ::access(path.c_str(), X_OK) == 0;
}

std::vector<std::string> browser_arguments(BrowserFamily family, const Path& manifest,
                                           std::string_view caller) {
  // Chromium passes the caller's origin; Firefox the manifest's path and the add-on id.
  if (family == BrowserFamily::kFirefox) return {manifest.string(), std::string(caller)};
  return {std::string(caller)};
}

}  // namespace qlx::host_register
