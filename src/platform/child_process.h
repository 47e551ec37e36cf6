#pragma once

// Starting a program with its standard streams on pipes: used by the client
// tool and by the end-to-end tests (the host itself starts the download
// manager differently; see handoff/launch_manager.h).

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "base/failure.h"
#include "platform/fs.h"

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

/// A started child; its pipes and process are released when the record goes
/// out of scope (the child is not killed).
struct ChildProcess {
  std::intptr_t process = -1;  // pid or process HANDLE
  std::intptr_t stdin_write = -1;
  std::intptr_t stdout_read = -1;
  std::intptr_t stderr_read = -1;
  ChildProcess() = default;
  ChildProcess(ChildProcess&& other) noexcept;
  ChildProcess& operator=(ChildProcess&& other) noexcept;
  ~ChildProcess();
};

Result<ChildProcess> start_child(const ChildOptions& options);

/// Writes all bytes to the child's stdin.
Result<void> write_child_input(ChildProcess& child, std::span<const std::byte> bytes);

/// Closes the child's stdin: it sees end of input.
void close_child_input(ChildProcess& child);

/// Reads some bytes of the child's stdout (0: it ended).
Result<std::size_t> read_child_output(ChildProcess& child, std::span<std::byte> buffer);

/// Fills `buffer` from the child's stdout and returns the number of bytes
/// read: fewer than `buffer.size()` only when the output ended or a read failed.
std::size_t read_child_output_fully(ChildProcess& child, std::span<std::byte> buffer);

/// Reads the child's stderr to its end.
std::string read_child_errors(ChildProcess& child);

/// Waits for the child to exit and returns its exit code.
Result<int> wait_child(ChildProcess& child);

}  // namespace qlx
