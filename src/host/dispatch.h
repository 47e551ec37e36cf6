#pragma once

#include <string_view>

#include "base/failure.h"
#include "base/json.h"
#include "base/message.h"
#include "base/reply.h"

namespace qlx {

/// A handler takes the message and returns exactly one reply, or a failure
/// that ends the host.  Handlers never write to standard output themselves.
using Handler = Result<Json> (*)(const Message& message);

/// {"host":"com.velmont.qlx","ok":true,"version":"1.0.7"}
Result<Json> handle_ping(const Message& message);

/// Selects the handler by the string member "type" (byte-exact); anything
/// else is answered with "Unknown message type".
Result<Json> dispatch_message(const Message& message);

}  // namespace qlx
