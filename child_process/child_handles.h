#pragma once

// Inside the child_process library: the platform files' way to the handles
// of a ChildProcess, and the one primitive that the timed wait is built on.

#include <chrono>
#include <optional>

#include "child_process/child_process.h"

namespace qlx {

struct ChildHandles {
  static NativeHandle& process(ChildProcess& child) { return child.process_; }
  static const NativeHandle& process(const ChildProcess& child) { return child.process_; }
  static NativeHandle& input(ChildProcess& child) { return child.input_; }
  static NativeHandle& output(ChildProcess& child) { return child.output_; }
  static NativeHandle& errors(ChildProcess& child) { return child.errors_; }
};

/// Waits up to `timeout` for the child to exit.  When it did, it is reaped
/// and its exit code returned; nullopt when it still runs.
Result<std::optional<int>> reap_child_within(ChildProcess& child,
                                             std::chrono::milliseconds timeout);

}  // namespace qlx
