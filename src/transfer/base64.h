#pragma once

// The strict Base64 decoder of browser transfer chunks: the standard alphabet
// (A-Z a-z 0-9 + /), canonical "=" padding, zero unused bits, no character
// skipped.

#include <string>
#include <string_view>

#include "base/failure.h"

namespace qlx {

/// Decodes `text` into exactly the bytes it encodes; the empty text gives no
/// bytes.  The first fault found, in this order of checks, is the failure:
///  1. a length of 4k+1 whose last byte is neither a symbol nor "=":
///     "Invalid symbol <byte>, offset <position>." about that byte;
///  2. before the final group, the first byte that is not a symbol ("="
///     included): "Invalid symbol <byte>, offset <position>.";
///  3. in the final group (the last four bytes, or the last one to three when
///     the length is not a multiple of four), scanning from its start: "=" as
///     its first or second byte, a symbol after "=" (reported as 61 at the
///     group's first "="), or a byte that is neither: "Invalid symbol ...";
///  4. a final group of one symbol: "Invalid input length: <length>";
///  5. a final group shorter than four: "Invalid padding";
///  6. unused low bits of the last symbol that are not zero:
///     "Invalid last symbol <byte>, offset <position>."
/// Bytes are shown in decimal ("!" is 33), positions count from 0.
Result<std::string> decode_base64(std::string_view text);

}  // namespace qlx
