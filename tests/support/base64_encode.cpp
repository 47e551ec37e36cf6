#include "support/base64_encode.h"

#include <algorithm>
#include <cstdint>

namespace qlx::testing_support {

std::string encode_base64(std::string_view bytes) {
  static constexpr char kAlphabet[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  out.reserve((bytes.size() + 2) / 3 * 4);
  for (std::size_t i = 0; i < bytes.size(); i += 3) {
    std::uint32_t bits = 0;
    const std::size_t n = std::min<std::size_t>(3, bytes.size() - i);
    for (std::size_t j = 0; j < 3; ++j) {
      bits = bits << 8 | (j < n ? static_cast<unsigned char>(bytes[i + j]) : 0u);
    }
    for (std::size_t j = 0; j < 4; ++j) {
      out += j <= n ? kAlphabet[(bits >> (18 - 6 * j)) & 0x3F] : '=';
    }
  }
  return out;
}

}  // namespace qlx::testing_support
