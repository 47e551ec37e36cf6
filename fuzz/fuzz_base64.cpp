// The strict Base64 decoder on arbitrary text: it never crashes, and whatever
// it accepts is the one canonical encoding of the bytes it gives.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "support/base64_encode.h"
#include "transfer/base64.h"

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
  if (qlx::testing_support::encode_base64(*decoded) != text) std::abort();
  return 0;
}
