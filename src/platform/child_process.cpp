// The parts of ChildProcess that are the same on every platform.
#include <utility>

#include "platform/child_process.h"

namespace qlx {

ChildProcess::ChildProcess(ChildProcess&& other) noexcept {
  *this = std::move(other);
}

ChildProcess& ChildProcess::operator=(ChildProcess&& other) noexcept {
  std::swap(process, other.process);
  std::swap(stdin_write, other.stdin_write);
  std::swap(stdout_read, other.stdout_read);
  std::swap(stderr_read, other.stderr_read);
  return *this;
}

std::size_t read_child_output_fully(ChildProcess& child, std::span<std::byte> buffer) {
  std::size_t filled = 0;
  while (filled < buffer.size()) {
    auto got = read_child_output(child, buffer.subspan(filled));
    if (!got || *got == 0) break;
    filled += *got;
  }
  return filled;
}

}  // namespace qlx
