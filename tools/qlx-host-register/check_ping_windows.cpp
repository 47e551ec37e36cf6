#include "check_ping.h"

namespace qlx::host_register {

std::vector<std::string> browser_arguments(BrowserFamily family, const Path& manifest,
                                           std::string_view caller) {
  // Chromium passes the caller's origin and the window that asked (none here);
  // Firefox the manifest's path and the add-on id.
  if (family == BrowserFamily::kFirefox) return {path_to_utf8(manifest), std::string(caller)};
  return {std::string(caller), "--parent-window=0"};
}

}  // namespace qlx::host_register
