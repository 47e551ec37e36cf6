#include "store/abandoned_files.h"

#include "platform/dir_entries.h"

namespace qlx {

void remove_abandoned_files(const Path& dir, std::uint64_t now_ms, const AbandonedFiles& files) {
  auto names = dir_entry_names(dir);
  if (!names) return;
  const auto limit = static_cast<std::uint64_t>(std::chrono::milliseconds(kAbandonedAfter).count());
  for (const Path& name : *names) {
    const auto changed = files.last_change(name);
    if (!changed || now_ms < *changed || now_ms - *changed < limit) continue;
    files.remove(name);
  }
}

}  // namespace qlx
