#include <time.h>

#include "platform/clock.h"

namespace qlx {

std::uint64_t unix_time_ms() {
  struct timespec now;
  if (::clock_gettime(CLOCK_REALTIME, &now) != 0) return 0;
  return posix_time_to_unix_ms(static_cast<std::int64_t>(now.tv_sec),
                               static_cast<std::int64_t>(now.tv_nsec));
}

}  // namespace qlx
