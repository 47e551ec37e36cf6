#pragma once

// The native messaging frame: a 4-byte little-endian length, then the body.
// One encoder and one decoder for the host, its tools, tests and benchmarks.

#include <cstdint>
#include <string>
#include <string_view>

namespace qlx {

/// Bytes in a frame's length prefix.
inline constexpr std::size_t kFramePrefixBytes = 4;

/// The prefix that announces a body of `length` bytes.
std::string frame_prefix(std::uint32_t length);

/// One whole frame: the prefix of `body`'s length, then `body`.
std::string frame_bytes(std::string_view body);

/// The length that a 4-byte prefix announces.  `prefix` holds at least 4 bytes.
std::uint32_t frame_length(const void* prefix);

}  // namespace qlx
