#include <cstdlib>
#include <string_view>

#include "base/utf8.h"
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
  std::string folder;
  if (const char* data_home = absolute_path_variable("XDG_DATA_HOME")) {
    folder = data_home;
  } else if (const char* home = absolute_path_variable("HOME")) {
    folder = home;
    if (folder.back() != '/') folder += '/';
    folder += ".local/share";
  }
  // Paths travel to the download manager as UTF-8 text ("temp_path"): a
  // folder whose name is not UTF-8 cannot be named to it.
  if (folder.empty() || !is_valid_utf8(folder)) return fail("No local data directory");
  return Path(std::move(folder));
}

}  // namespace qlx
