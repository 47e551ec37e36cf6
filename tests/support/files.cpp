#include "support/files.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace qlx::testing_support {

std::string file_text(const Path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return "<unreadable: " + path.string() + ">";
  return std::string(std::istreambuf_iterator<char>(in), {});
}

std::vector<std::string> files_below(const Path& root) {
  std::vector<std::string> files;
  std::error_code ignored;
  for (auto it = std::filesystem::recursive_directory_iterator(root, ignored);
       it != std::filesystem::recursive_directory_iterator(); it.increment(ignored)) {
    if (!it->is_directory()) {
      files.push_back(it->path().lexically_relative(root).generic_string());
    }
  }
  std::ranges::sort(files);
  return files;
}

}  // namespace qlx::testing_support
