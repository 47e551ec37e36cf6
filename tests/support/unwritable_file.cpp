#include "support/unwritable_file.h"

#include <filesystem>

namespace qlx::testing_support {

namespace fs = std::filesystem;

UnwritableFile::~UnwritableFile() {
  held_.reset();
  std::error_code error;
  fs::permissions(file_, fs::perms::owner_write, fs::perm_options::add, error);
}

}  // namespace qlx::testing_support
