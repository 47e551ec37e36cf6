#include "platform/fs.h"
#include "platform/held_file.h"

namespace qlx {

Presence file_presence(const Path& path) {
  return path_exists(path) ? Presence::kPresent : Presence::kMissing;
}

}  // namespace qlx
