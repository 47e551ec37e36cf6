#include "base/utf8.h"

#include <cstdint>

#include "base/json_text.h"

namespace qlx {

bool is_valid_utf8(std::string_view bytes) {
  const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
  const auto* end = p + bytes.size();
  while (p != end) {
    while (end - p >= 16) {
      const char* chars = reinterpret_cast<const char*>(p);
      if (((json_text::load_word(chars) | json_text::load_word(chars + 8)) &
           json_text::kHighBits) != 0) {
        break;
      }
      p += 16;
    }
    if (p == end) break;
    if (*p < 0x80) {
      ++p;
      continue;
    }
    const auto step = json_text::check_utf8_sequence(p, end);
    if (step.kind != json_text::Utf8Step::Kind::kValid) return false;
    p += step.length;
  }
  return true;
}

void append_utf8(std::string& out, char32_t code_point) {
  const auto cp = static_cast<std::uint32_t>(code_point);
  if (cp < 0x80) {
    out.push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    const char bytes[] = {static_cast<char>(0xC0 | (cp >> 6)),
                          static_cast<char>(0x80 | (cp & 0x3F))};
    out.append(bytes, 2);
  } else if (cp < 0x10000) {
    const char bytes[] = {static_cast<char>(0xE0 | (cp >> 12)),
                          static_cast<char>(0x80 | ((cp >> 6) & 0x3F)),
                          static_cast<char>(0x80 | (cp & 0x3F))};
    out.append(bytes, 3);
  } else {
    const char bytes[] = {
        static_cast<char>(0xF0 | (cp >> 18)), static_cast<char>(0x80 | ((cp >> 12) & 0x3F)),
        static_cast<char>(0x80 | ((cp >> 6) & 0x3F)), static_cast<char>(0x80 | (cp & 0x3F))};
    out.append(bytes, 4);
  }
}

}  // namespace qlx
