#include "host/frame.h"

namespace qlx {

std::string frame_prefix(std::uint32_t length) {
  std::string prefix(kFramePrefixBytes, '\0');
  for (std::size_t i = 0; i < kFramePrefixBytes; ++i) {
    prefix[i] = static_cast<char>((length >> (8 * i)) & 0xFF);
  }
  return prefix;
}

std::string frame_bytes(std::string_view body) {
  std::string frame;
  frame.reserve(kFramePrefixBytes + body.size());
  frame += frame_prefix(static_cast<std::uint32_t>(body.size()));
  frame += body;
  return frame;
}

std::uint32_t frame_length(const void* prefix) {
  const auto* bytes = static_cast<const unsigned char*>(prefix);
  return static_cast<std::uint32_t>(bytes[0]) | static_cast<std::uint32_t>(bytes[1]) << 8 |
         static_cast<std::uint32_t>(bytes[2]) << 16 | static_cast<std::uint32_t>(bytes[3]) << 24;
}

}  // namespace qlx
