#include "check_ping.h"

namespace qlx::host_register {

std::vector<std::string> browser_arguments(BrowserFamily family, const Path& manifest,
                                           std::string_view caller) {
  // Chromium passes the caller's origin; Firefox the manifest's path and the add-on id.
  if (family == BrowserFamily::kFirefox) return {manifest.string(), std::string(caller)};
  return {std::string(caller)};
}

}  // namespace qlx::host_register
