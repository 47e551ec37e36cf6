#pragma once

#include <cstddef>
#include <span>

#include "base/failure.h"

namespace qlx {

/// Puts the process's standard streams into the state the channel needs: raw
/// binary pipes, no SIGPIPE (POSIX), no inheritable standard handles (Windows).
void prepare_standard_streams();

/// Reads at most `buffer.size()` bytes from standard input, retrying
/// interrupted reads.  Returns the count, 0 meaning the input has ended (end of
/// file, the writer closed the pipe, or no usable standard input); any other
/// error is a failure with the system text.
Result<std::size_t> read_standard_input(std::span<std::byte> buffer);

/// Writes all of `bytes` to standard output.  Output that accepts no bytes
/// gives "failed to write whole buffer"; an absent standard output discards
/// the bytes without failing.
Result<void> write_standard_output(std::span<const std::byte> bytes);

}  // namespace qlx
