#include <sys/stat.h>
#include <unistd.h>

#include "check.h"

namespace qlx::host_register {

bool is_executable_file(const Path& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
         ::access(path.c_str(), X_OK) == 0;
}

}  // namespace qlx::host_register
