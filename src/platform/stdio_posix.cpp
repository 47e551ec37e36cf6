#include <cerrno>
#include <csignal>

#include <unistd.h>

#include "platform/error.h"
#include "platform/stdio.h"

namespace qlx {

void prepare_standard_streams() {
  // A browser that went away must give a write failure, not death by signal.
  std::signal(SIGPIPE, SIG_IGN);
}

Result<std::size_t> read_standard_input(std::span<std::byte> buffer) {
  for (;;) {
    const ssize_t got = ::read(STDIN_FILENO, buffer.data(), buffer.size());
    if (got >= 0) return static_cast<std::size_t>(got);
    if (errno == EINTR) continue;
    if (errno == EBADF) return 0;  // no standard input at all: nothing will ever arrive
    return fail(last_system_failure());
  }
}

Result<void> write_standard_output(std::span<const std::byte> bytes) {
  while (!bytes.empty()) {
    const ssize_t put = ::write(STDOUT_FILENO, bytes.data(), bytes.size());
    if (put < 0) {
      if (errno == EINTR) continue;
      if (errno == EBADF) return {};  // no standard output: the reply goes nowhere
      return fail(last_system_failure());
    }
    if (put == 0) return fail("failed to write whole buffer");
    bytes = bytes.subspan(static_cast<std::size_t>(put));
  }
  return {};
}

}  // namespace qlx
