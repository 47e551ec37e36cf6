#include "host/channel.h"

#include <cstring>

#include "base/reply.h"
#include "host/frame.h"
#include "platform/stdio.h"

namespace qlx {
namespace {

Result<std::size_t> read_standard_input_into(void*, std::span<std::byte> buffer) {
  return read_standard_input(buffer);
}

/// Fills `buffer` completely; returns how many bytes arrived before the input ended.
Result<std::size_t> read_fully(ByteSource source, std::span<std::byte> buffer) {
  std::size_t filled = 0;
  while (filled < buffer.size()) {
    auto got = source.read(source.context, buffer.subspan(filled));
    if (!got) return fail(std::move(got.error()));
    if (*got == 0) break;
    filled += *got;
  }
  return filled;
}

}  // namespace

ByteSource standard_input_source() {
  return ByteSource{&read_standard_input_into, nullptr};
}

Result<std::optional<Message>> read_message(ByteSource source) {
  std::byte prefix[4];
  auto got = read_fully(source, prefix);
  if (!got) return fail(std::move(got.error()));
  if (*got < sizeof prefix) return std::nullopt;  // the browser closed stdin: end quietly

  const std::uint32_t length = frame_length(prefix);
  if (length > kMaxMessageBytes) return fail("Native message too large");

  // One buffer serves every frame: a fresh 2 MiB buffer per chunk message
  // would be zero-filled and mapped anew each time for nothing.  It only grows.
  static std::string buffer;
  if (buffer.size() < length) buffer.resize(length);
  const std::span<char> body(buffer.data(), length);
  auto body_got = read_fully(source, std::as_writable_bytes(body));
  if (!body_got) return fail(std::move(body_got.error()));
  if (*body_got < length) return fail("failed to fill whole buffer");

  auto message = parse_message(std::string_view(body.data(), body.size()));
  if (!message) return fail(std::move(message.error()));
  return std::optional<Message>(std::move(*message));
}

Result<std::optional<Message>> read_message() {
  return read_message(standard_input_source());
}

std::string frame_reply(const Json& reply) {
  return frame_bytes(to_compact_json(reply));
}

Result<void> write_reply(const Json& reply) {
  const std::string frame = frame_reply(reply);
  // The browser would drop the connection without telling the extension why.
  if (frame.size() - kFramePrefixBytes > kMaxReplyBytes) return fail("Native reply too large");
  return write_standard_output(std::as_bytes(std::span(frame)));
}

}  // namespace qlx
