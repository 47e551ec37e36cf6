#pragma once

// Files that a host left behind and that nobody will take (a transfer the
// browser abandoned, a request that a killed host never finished staging)
// would stay for good: the next host removes them once they have not changed
// for a day.

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>

#include "platform/fs.h"

namespace qlx {

/// How long such files stay unchanged before they count as abandoned.
inline constexpr std::chrono::hours kAbandonedAfter{24};

/// What one sweep looks for in its directory.
struct AbandonedFiles {
  /// For an entry name of the directory: nullopt when it is none of the
  /// host's own, otherwise when it (and whatever belongs with it) last
  /// changed, in ms since 1970.
  std::function<std::optional<std::uint64_t>(const Path& name)> last_change;
  /// Removes the entry (and whatever belongs with it); failures are ignored.
  std::function<void(const Path& name)> remove;
};

/// One scan of the directory `dir`: every entry whose last change lies at
/// least kAbandonedAfter before `now_ms` (ms since 1970) is removed.  A time
/// after `now_ms` (a clock set back) keeps the entry.  A directory that cannot
/// be listed is left alone.
void remove_abandoned_files(const Path& dir, std::uint64_t now_ms, const AbandonedFiles& files);

}  // namespace qlx
