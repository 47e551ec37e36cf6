#pragma once

#include "base/failure.h"
#include "base/json.h"
#include "base/message.h"

namespace qlx {

/// `open_app`: starts the download manager (launch_manager.h) and replies
/// {"launched":<bool>,"ok":true}.  Reads no member; cannot fail.
Result<Json> handle_open_app(const Message& message);

}  // namespace qlx
