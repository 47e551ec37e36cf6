// The parts of the child_process library that are the same on every platform.
#include "child_process/child_handles.h"

namespace qlx {

bool child_running(const ChildProcess& child) {
  return ChildHandles::process(child).valid();
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

void drain_child_output(ChildProcess& child) {
  std::byte chunk[4096];
  for (;;) {
    auto got = read_child_output(child, chunk);
    if (!got || *got == 0) return;
  }
}

Result<ChildExit> wait_child_for(ChildProcess& child, std::chrono::milliseconds timeout) {
  // The child is killed before it is reaped, never after: until then its id
  // cannot pass to another process.
  auto exited = reap_child_within(child, timeout);
  if (!exited) return fail(std::move(exited.error()));
  if (*exited) return ChildExit{ChildEnd::kExited, **exited};
  kill_child(child);
  auto code = wait_child(child);
  if (!code) return fail(std::move(code.error()));
  return ChildExit{ChildEnd::kKilled, *code};
}

}  // namespace qlx
