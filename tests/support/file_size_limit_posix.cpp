#include <csignal>

#include <sys/resource.h>

#include "support/file_size_limit.h"

namespace qlx::testing_support {

bool file_size_limits_supported() {
  return true;
}

Result<ChildProcess> start_child_limited(const ChildOptions& options,
                                         std::optional<std::uint64_t> limit) {
  if (!limit) return start_child(options);
  // The child inherits both across the spawn: an ignored signal stays
  // ignored, and the limit is the one in force when it is created.  Only the
  // soft limit is lowered, and only for the spawn: this process writes nothing
  // meanwhile.
  std::signal(SIGXFSZ, SIG_IGN);
  struct rlimit saved;
  if (::getrlimit(RLIMIT_FSIZE, &saved) != 0) return fail("getrlimit failed");
  struct rlimit lowered = saved;
  lowered.rlim_cur = static_cast<rlim_t>(*limit);
  if (::setrlimit(RLIMIT_FSIZE, &lowered) != 0) return fail("setrlimit failed");
  auto child = start_child(options);
  ::setrlimit(RLIMIT_FSIZE, &saved);
  return child;
}

}  // namespace qlx::testing_support
