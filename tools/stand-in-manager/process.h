#pragma once

// What the stand-in learns about its own process, per platform.

#include <string>
#include <string_view>
#include <vector>

#include "base/json.h"

namespace stand_in {

/// The program's arguments as UTF-8, its own name first.
std::vector<std::string> arguments(int argc, char** argv);

/// "null" when standard input (0), output (1) or error (2) is the null
/// device; otherwise what it is ("pipe", "file", "console", a link text...).
std::string describe_standard_stream(int which);

/// Facts only one platform has: "session_leader" and "descriptors" (the
/// open ones) on POSIX, "command_line" on Windows.
qlx::Json platform_facts();

/// This process's id.
long process_id();

/// Writes bytes to standard output; errors are ignored.
void write_standard_output(std::string_view bytes);

/// Reads standard input until its end (at most `limit` bytes); the count read.
std::size_t drain_standard_input(std::size_t limit);

}  // namespace stand_in
