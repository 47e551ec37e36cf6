#include "support/temp_dir.h"

#include <atomic>
#include <filesystem>
#include <random>
#include <string>
#include <system_error>

namespace qlx::testing_support {

TempDir::TempDir() {
  static std::atomic<unsigned> counter{0};
  std::random_device random;
  const Path base = std::filesystem::temp_directory_path();
  // create_directory is false only when the name is taken: then draw another.
  do {
    path = base / ("qlx-test-" + std::to_string(random()) + "-" + std::to_string(counter++));
  } while (!std::filesystem::create_directory(path));
}

TempDir::~TempDir() {
  // A test may have taken its own permissions away to provoke a failure.
  std::error_code ignored;
  std::filesystem::permissions(path, std::filesystem::perms::owner_all,
                               std::filesystem::perm_options::add, ignored);
  std::filesystem::remove_all(path, ignored);
}

}  // namespace qlx::testing_support
