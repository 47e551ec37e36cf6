#include "handoff/request_id.h"

#include <cstddef>
#include <span>

#include "platform/random.h"

namespace qlx {

std::string format_request_id(std::array<std::uint8_t, 16> bytes) {
  bytes[6] = static_cast<std::uint8_t>((bytes[6] & 0x0F) | 0x40);
  bytes[8] = static_cast<std::uint8_t>((bytes[8] & 0x3F) | 0x80);
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string text;
  text.reserve(36);
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    if (i == 4 || i == 6 || i == 8 || i == 10) text += '-';
    text += kDigits[bytes[i] >> 4];
    text += kDigits[bytes[i] & 0x0F];
  }
  return text;
}

bool is_request_id(std::string_view text) {
  if (text.size() != 36) return false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    const bool dash = i == 8 || i == 13 || i == 18 || i == 23;
    if (dash ? c != '-' : !((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return false;
  }
  return true;
}

Result<std::string> make_request_id() {
  std::array<std::uint8_t, 16> bytes{};
  if (auto filled = fill_random(std::as_writable_bytes(std::span(bytes))); !filled) {
    return fail(std::move(filled.error()));
  }
  return format_request_id(bytes);
}

}  // namespace qlx
