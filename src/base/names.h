#pragma once

// The names that the host, its registration tool and the QLX extension agree on.

#include <string_view>

namespace qlx {

/// The host's name: what extensions pass to connectNative, what `ping`
/// reports, and the name in every manifest.
inline constexpr std::string_view kHostName = "com.velmont.qlx";

/// The QLX extension's own id: registered when no id is given, and recorded
/// in heartbeats for a message that names none.
inline constexpr std::string_view kQlxExtensionId = "kbmhoaelpgdjcnfiebkalmcgopdhjnie";

}  // namespace qlx
