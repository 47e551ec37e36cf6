#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "base/failure.h"
#include "base/json.h"
#include "base/message.h"

namespace qlx {

/// Largest inbound body; a larger announced length is refused unread.
inline constexpr std::uint32_t kMaxMessageBytes = 2'097'152;

/// Where frames are read from: `read` fills at most `buffer.size()` bytes and
/// returns the count, 0 meaning the input has ended.
struct ByteSource {
  Result<std::size_t> (*read)(void* context, std::span<std::byte> buffer);
  void* context;
};

/// The process's standard input.
ByteSource standard_input_source();

/// Reads one frame (4-byte little-endian length, then the body) and checks
/// the body.  nullopt: the input ended before a complete length.  Failures:
/// "Native message too large" (body not read), "failed to fill whole buffer",
/// a read's system text, or the JSON reader's text.  The message views a
/// buffer that the next read_message() reuses.
Result<std::optional<Message>> read_message(ByteSource source);
Result<std::optional<Message>> read_message();

/// The bytes of one reply frame: length, then the compact body.
std::string frame_reply(const Json& reply);

/// Writes one reply frame to standard output.  A reply body longer than
/// kMaxReplyBytes is not written at all: it fails with "Native reply too
/// large", and the loop ends the host with that short text as its last reply.
Result<void> write_reply(const Json& reply);

}  // namespace qlx
