#pragma once

#include "base/failure.h"
#include "base/json.h"
#include "base/message.h"

namespace qlx {

/// `add_download`: a message whose "url" is a string beginning with "http://"
/// or "https://" (byte for byte) goes whole to the download manager, and its
/// answer is the reply; any other gets "Only HTTP/HTTPS URLs are allowed" and
/// touches nothing.
Result<Json> handle_add_download(const Message& message);

}  // namespace qlx
