#pragma once

#include <cstddef>
#include <string_view>

#include "base/json.h"

namespace qlx {

/// The longest reply body the browser takes: Chromium drops the connection
/// on a longer message from the host.
inline constexpr std::size_t kMaxReplyBytes = 1'048'576;

/// {"error":<text>,"ok":false}: the shape of every error a handler answers
/// itself, and of the final reply of a host that ends on a failure.
Json error_reply(std::string_view text);

}  // namespace qlx
