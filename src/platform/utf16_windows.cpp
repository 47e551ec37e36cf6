#include "platform/utf16_windows.h"

#include <cstdint>

#include "base/utf8.h"

namespace qlx {
std::string utf16_to_utf8(std::wstring_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char32_t unit = static_cast<char16_t>(text[i]);
    if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < text.size()) {
      const char32_t next = static_cast<char16_t>(text[i + 1]);
      if (next >= 0xDC00 && next <= 0xDFFF) {
        append_utf8(out, 0x10000 + ((unit - 0xD800) << 10) + (next - 0xDC00));
        ++i;
        continue;
      }
    }
    append_utf8(out, (unit >= 0xD800 && unit <= 0xDFFF) ? char32_t{0xFFFD} : unit);
  }
  return out;
}

std::wstring utf8_to_utf16(std::string_view text) {
  std::wstring out;
  out.reserve(text.size());
  std::size_t i = 0;
  while (i < text.size()) {
    const auto b0 = static_cast<unsigned char>(text[i]);
    char32_t c = 0xFFFD;
    std::size_t len = 1;
    auto cont = [&](std::size_t k) {
      return i + k < text.size() && (static_cast<unsigned char>(text[i + k]) & 0xC0) == 0x80;
    };
    auto bits = [&](std::size_t k) { return static_cast<char32_t>(text[i + k] & 0x3F); };
    if (b0 < 0x80) {
      c = b0;
    } else if (b0 >= 0xC2 && b0 < 0xE0 && cont(1)) {
      c = ((b0 & 0x1Fu) << 6) | bits(1);
      len = 2;
    } else if (b0 >= 0xE0 && b0 < 0xF0 && cont(1) && cont(2)) {
      const char32_t v = ((b0 & 0x0Fu) << 12) | (bits(1) << 6) | bits(2);
      if (v >= 0x800 && (v < 0xD800 || v > 0xDFFF)) {
        c = v;
        len = 3;
      }
    } else if (b0 >= 0xF0 && b0 < 0xF5 && cont(1) && cont(2) && cont(3)) {
      const char32_t v = ((b0 & 0x07u) << 18) | (bits(1) << 12) | (bits(2) << 6) | bits(3);
      if (v >= 0x10000 && v <= 0x10FFFF) {
        c = v;
        len = 4;
      }
    }
    if (c >= 0x10000) {
      out += static_cast<wchar_t>(0xD800 + ((c - 0x10000) >> 10));
      out += static_cast<wchar_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
    } else {
      out += static_cast<wchar_t>(c);
    }
    i += len;
  }
  return out;
}

}  // namespace qlx
