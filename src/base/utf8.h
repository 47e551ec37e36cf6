#pragma once

// UTF-8: the one well-formedness check and the one encoder.

#include <string>
#include <string_view>

namespace qlx {

/// Whether `bytes` is well-formed UTF-8 (no overlongs, no surrogates, at most U+10FFFF).
bool is_valid_utf8(std::string_view bytes);

/// Appends the UTF-8 form of `code_point` (at most U+10FFFF; surrogates are
/// the callers' to keep out) to `out`.
void append_utf8(std::string& out, char32_t code_point);

}  // namespace qlx
