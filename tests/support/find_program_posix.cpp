#include "support/find_program.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace qlx::testing_support {

Path find_program(std::string_view name) {
  const char* path = std::getenv("PATH");
  if (path == nullptr) return {};
  const std::string_view folders(path);
  constexpr char kSeparator = ':';
  std::size_t start = 0;
  while (start <= folders.size()) {
    const std::size_t end = std::min(folders.find(kSeparator, start), folders.size());
    const std::string_view folder = folders.substr(start, end - start);
    if (!folder.empty()) {
      std::error_code error;
      const Path candidate = Path(std::string(folder)) / std::string(name);
      if (std::filesystem::is_regular_file(candidate, error)) return candidate;
    }
    start = end + 1;
  }
  return {};
}

}  // namespace qlx::testing_support
