#include <cerrno>
#include <ctime>

#include "platform/sleep.h"

namespace qlx {

void sleep_for(std::chrono::milliseconds duration) {
  if (duration.count() <= 0) return;
  timespec left{static_cast<time_t>(duration.count() / 1000),
                static_cast<long>(duration.count() % 1000) * 1'000'000L};
  // A signal cuts the pause short: sleep on for what is left.
  while (::nanosleep(&left, &left) != 0 && errno == EINTR) {
  }
}

}  // namespace qlx
