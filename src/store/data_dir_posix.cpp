// Temporary: $XDG_DATA_HOME, else $HOME/.local/share.
#include <cstdlib>

#include "platform/fs.h"

namespace qlx {

Result<Path> local_data_folder() {
  if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg != nullptr && *xdg == '/')
    return Path(xdg);
  if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0') {
    return Path(home) / ".local" / "share";
  }
  return fail("No local data directory");
}

}  // namespace qlx
