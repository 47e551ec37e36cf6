#pragma once

#include <string_view>

#include "base/json.h"

namespace qlx {

/// {"error":<text>,"ok":false}: the shape of every error a handler answers
/// itself, and of the final reply of a host that ends on a failure.
Json error_reply(std::string_view text);

}  // namespace qlx
