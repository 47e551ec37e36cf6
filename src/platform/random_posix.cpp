#include <cerrno>

#include <sys/random.h>

#include "platform/error.h"
#include "platform/random.h"

namespace qlx {

Result<void> fill_random(std::span<std::byte> bytes) {
  while (!bytes.empty()) {
    const ssize_t got = ::getrandom(bytes.data(), bytes.size(), 0);
    if (got < 0) {
      if (errno == EINTR) continue;
      return fail(last_system_failure());
    }
    bytes = bytes.subspan(static_cast<std::size_t>(got));
  }
  return {};
}

}  // namespace qlx
