#pragma once

#include <string_view>

#include "core/failure.h"
#include "core/json.h"

namespace qlx {

inline constexpr std::string_view kHostName = "com.velmont.qlx";
inline constexpr std::string_view kHostVersion = "1.0.7";

/// A handler takes the message and returns exactly one reply, or a failure
/// that ends the host.  Handlers never write to standard output themselves.
using Handler = Result<Json> (*)(const Json& message);

/// {"error":<text>,"ok":false}
Json error_reply(std::string_view text);

/// {"host":"com.velmont.qlx","ok":true,"version":"1.0.7"}
Result<Json> handle_ping(const Json& message);

/// Selects the handler by the string member "type" (byte-exact); anything
/// else is answered with "Unknown message type".
Result<Json> dispatch_message(const Json& message);

}  // namespace qlx
