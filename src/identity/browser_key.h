#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "base/json.h"
#include "base/message.h"

namespace qlx {

/// The browsers the host tells apart.  Opera GX counts as Opera, Chromium as Chrome.
enum class BrowserKey { kBrave, kEdge, kVivaldi, kOpera, kChrome };

/// "brave", "edge", "vivaldi", "opera" or "chrome".
std::string_view browser_key_text(BrowserKey key);

/// A name as the browser-identification rules compare it: leading and trailing
/// Unicode White_Space removed, ASCII letters lowered, everything else kept.
std::string normalize_browser_name(std::string_view name);

/// The browser of the message: `ancestry_key` when there is one (the process
/// chain outranks the extension's word); else the message's string member
/// "browser_id", normalised, when it is exactly one of the five key texts;
/// else the first of the source markers found in the lowered string member
/// "source"; else none.  Messages that are not objects have no members.
std::optional<BrowserKey> resolve_browser_key(const Message& message,
                                              std::optional<BrowserKey> ancestry_key);

}  // namespace qlx
