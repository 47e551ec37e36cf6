#include "platform/fs.h"

namespace qlx {

Result<std::string> read_file(const Path& path, WhenHeld when) {
  auto content = read_file_up_to(path, kMaxFileRead, when);
  if (!content) return fail(std::move(content.error()));
  if (!*content) return fail("file is larger than 16 MiB");
  return std::move(**content);
}

}  // namespace qlx
