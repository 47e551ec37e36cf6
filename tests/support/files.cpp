#include "support/files.h"

#include <fstream>
#include <iterator>

namespace qlx::testing_support {

std::string file_text(const Path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return "<unreadable: " + path.string() + ">";
  return std::string(std::istreambuf_iterator<char>(in), {});
}

}  // namespace qlx::testing_support
