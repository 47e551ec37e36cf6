#include <cstdlib>
#include <string_view>

#include "platform/known_folder.h"

namespace qlx {
namespace {

/// An environment variable that holds an absolute path; relative or empty
/// values count as unset, so nothing lands below the working directory.
const char* absolute_path_variable(const char* name) {
  const char* value = std::getenv(name);
  if (value == nullptr || value[0] != '/') return nullptr;
  return value;
}

}  // namespace

Result<Path> local_app_data_folder() {
  if (const char* data_home = absolute_path_variable("XDG_DATA_HOME")) return Path(data_home);
  if (const char* home = absolute_path_variable("HOME")) {
    std::string folder = home;
    if (folder.back() != '/') folder += '/';
    folder += ".local/share";
    return Path(std::move(folder));
  }
  return fail("No local data directory");
}

}  // namespace qlx
