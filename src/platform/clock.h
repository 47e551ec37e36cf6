#pragma once

#include <cstdint>

namespace qlx {

/// The wall clock in whole milliseconds since 1970-01-01T00:00:00Z; 0 while
/// the clock reads earlier than that.
std::uint64_t unix_time_ms();

/// A Windows FILETIME (100-nanosecond intervals since 1601-01-01T00:00:00Z) in
/// whole milliseconds since 1970, the remainder dropped; 0 before 1970.
std::uint64_t filetime_to_unix_ms(std::uint64_t filetime);

/// A POSIX time (seconds since 1970, possibly negative, and 0 to 999,999,999
/// nanoseconds) in whole milliseconds since 1970; 0 before 1970, the largest
/// value when it does not fit.
std::uint64_t posix_time_to_unix_ms(std::int64_t seconds, std::int64_t nanoseconds);

}  // namespace qlx
