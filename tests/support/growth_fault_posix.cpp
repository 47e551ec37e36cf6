#include <csignal>

#include <sys/resource.h>

#include "support/growth_fault.h"

namespace qlx::testing_support {

GrowthFault::GrowthFault(std::uint64_t length) {
  std::signal(SIGXFSZ, SIG_IGN);
  struct rlimit limit;
  if (::getrlimit(RLIMIT_FSIZE, &limit) != 0) return;
  saved_limit = limit.rlim_cur;
  limit.rlim_cur = static_cast<rlim_t>(length);
  armed = ::setrlimit(RLIMIT_FSIZE, &limit) == 0;
}

GrowthFault::~GrowthFault() {
  if (!armed) return;
  struct rlimit limit;
  if (::getrlimit(RLIMIT_FSIZE, &limit) != 0) return;
  limit.rlim_cur = static_cast<rlim_t>(saved_limit);
  ::setrlimit(RLIMIT_FSIZE, &limit);
}

}  // namespace qlx::testing_support
