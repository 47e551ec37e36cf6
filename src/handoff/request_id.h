#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "base/failure.h"

namespace qlx {

/// A fresh random version-4 UUID in lower-case 36-character form
/// ("xxxxxxxx-xxxx-4xxx-Nxxx-xxxxxxxxxxxx", N one of 8, 9, a, b).
Result<std::string> make_request_id();

/// Whether `text` has the form that make_request_id() gives: 36 characters,
/// lower-case hexadecimal digits with "-" at offsets 8, 13, 18 and 23.
bool is_request_id(std::string_view text);

/// The UUID text of 16 random bytes, after setting the version (4) and
/// variant (10) bits.
std::string format_request_id(std::array<std::uint8_t, 16> bytes);

}  // namespace qlx
