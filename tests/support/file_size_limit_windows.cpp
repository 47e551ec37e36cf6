#include "support/file_size_limit.h"

namespace qlx::testing_support {

bool file_size_limits_supported() {
  return false;
}

Result<ChildProcess> start_child_limited(const ChildOptions& options,
                                         std::optional<std::uint64_t> limit) {
  if (limit) return fail("file size limits are not supported on Windows");
  return start_child(options);
}

}  // namespace qlx::testing_support
