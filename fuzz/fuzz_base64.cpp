// The strict Base64 decoder on arbitrary text: it never crashes, and whatever
// it accepts is the one canonical encoding of the bytes it gives.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "transfer/base64.h"

namespace {

std::string encode(std::string_view bytes) {
  static constexpr char kAlphabet[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  for (std::size_t i = 0; i < bytes.size(); i += 3) {
    std::uint32_t bits = 0;
    const std::size_t n = bytes.size() - i < 3 ? bytes.size() - i : 3;
    for (std::size_t j = 0; j < 3; ++j) {
      bits = bits << 8 | (j < n ? static_cast<unsigned char>(bytes[i + j]) : 0u);
    }
    for (std::size_t j = 0; j < 4; ++j)
      out += j <= n ? kAlphabet[(bits >> (18 - 6 * j)) & 0x3F] : '=';
  }
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  auto decoded = qlx::decode_base64(text);
  if (!decoded) {
    if (decoded.error().text.empty()) std::abort();
    return 0;
  }
  if (decoded->size() !=
      size / 4 * 3 - (size > 0 && text[size - 1] == '=') - (size > 1 && text[size - 2] == '=')) {
    std::abort();
  }
  if (encode(*decoded) != text) std::abort();
  return 0;
}
