// STOPGAP until the data directory lands on main: $XDG_DATA_HOME or
// $HOME/.local/share.  Removed on merge.
#include <cstdlib>

#include "core/failure.h"
#include "platform/fs.h"

namespace qlx {

Result<Path> stopgap_local_app_data() {
  if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg && *xdg) return Path(xdg);
  if (const char* home = std::getenv("HOME"); home && *home) {
    return Path(home) / ".local" / "share";
  }
  return fail("No local data directory");
}

}  // namespace qlx
