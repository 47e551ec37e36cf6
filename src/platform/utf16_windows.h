#pragma once

// UTF-16 <-> UTF-8 conversions shared by the Windows platform files.

#include <string>
#include <string_view>

namespace qlx {

/// UTF-16 (possibly ill-formed) to UTF-8; unpaired surrogates become U+FFFD.
std::string utf16_to_utf8(std::wstring_view text);

/// UTF-8 to UTF-16; invalid sequences become U+FFFD.
std::wstring utf8_to_utf16(std::string_view text);

}  // namespace qlx
