#pragma once

// Starting a program with its standard streams on pipes, as a browser starts
// a native messaging host: used by the tools and the tests (the host itself
// starts the download manager differently; see handoff/launch_manager.h).
// One file per platform below this header: child_process_posix.cpp and
// child_process_windows.cpp.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "base/failure.h"
#include "platform/fs.h"
#include "platform/native_handle.h"

namespace qlx {

/// Sets (value) or removes (nullopt) one environment variable of the child.
struct EnvChange {
  std::string name;
  std::optional<std::string> value;
};

struct ChildOptions {
  Path program;
  std::vector<std::string> arguments;  // UTF-8; the program's own name is added first
  Path working_dir;                    // empty: inherit
  std::vector<EnvChange> env;          // on top of this process's environment
};

/// A started child.  Its pipes (and on Windows its process handle) are
/// released when the record goes out of scope; the child itself is neither
/// killed nor waited for then.  Only the functions below reach the handles.
class ChildProcess {
 public:
  ChildProcess() = default;

 private:
  friend struct ChildHandles;  // the platform files
  NativeHandle process_;       // POSIX: the pid, until it is reaped; Windows: the process
  NativeHandle input_;         // the write end of the child's stdin
  NativeHandle output_;        // the read end of its stdout
  NativeHandle errors_;        // the read end of its stderr
};

Result<ChildProcess> start_child(const ChildOptions& options);

/// Whether the child was started and has not been waited for yet.
bool child_running(const ChildProcess& child);

/// The child's process id, for finding it among the system's processes;
/// nullopt once it has been waited for (the id may then name another process).
std::optional<std::uint64_t> child_process_id(const ChildProcess& child);

/// Writes all bytes to the child's stdin.
Result<void> write_child_input(ChildProcess& child, std::span<const std::byte> bytes);

/// Closes the child's stdin: it sees end of input.
void close_child_input(ChildProcess& child);

/// Reads some bytes of the child's stdout (0: it ended).
Result<std::size_t> read_child_output(ChildProcess& child, std::span<std::byte> buffer);

/// Fills `buffer` from the child's stdout and returns the number of bytes
/// read: fewer than `buffer.size()` only when the output ended or a read failed.
std::size_t read_child_output_fully(ChildProcess& child, std::span<std::byte> buffer);

/// Reads the child's stdout to its end and drops it.
void drain_child_output(ChildProcess& child);

/// Reads the child's stderr to its end.
std::string read_child_errors(ChildProcess& child);

/// Waits for the child to exit and returns its exit code (POSIX: 128 + the
/// signal when a signal ended it).  The child is reaped: it is no longer running.
Result<int> wait_child(ChildProcess& child);

/// Ends the child at once (SIGKILL, TerminateProcess) while it has not been
/// waited for; once it has, does nothing, so that it never reaches a process
/// that took over the id.  Call it from the thread that waits for the child.
void kill_child(ChildProcess& child);

/// How a child waited for with a deadline ended.
enum class ChildEnd {
  kExited,  // by itself, before the deadline
  kKilled,  // it still ran at the deadline and was killed then
};

struct ChildExit {
  ChildEnd end = ChildEnd::kExited;
  int code = -1;  // as wait_child() gives it
};

/// Waits up to `timeout` for the child to exit; kills it if it still runs
/// then, and waits for that.  Either way the child is reaped.
Result<ChildExit> wait_child_for(ChildProcess& child, std::chrono::milliseconds timeout);

}  // namespace qlx
