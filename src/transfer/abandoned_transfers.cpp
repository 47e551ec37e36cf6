#include "transfer/abandoned_transfers.h"

#include <algorithm>
#include <string>

#include "platform/dir_entries.h"
#include "transfer/transfer_files.h"

namespace qlx {

void remove_abandoned_transfers(const Path& dir, std::uint64_t now_ms) {
  auto names = dir_entry_names(dir);
  if (!names) return;
  const auto limit = static_cast<std::uint64_t>(std::chrono::milliseconds(kAbandonedAfter).count());
  for (const Path& name : *names) {
    if (name.extension() != ".json") continue;
    // Only the host's own metadata files: the stem is a valid transfer id.
    const std::string id = path_to_utf8(name.stem());
    if (!validate_transfer_id(id)) continue;
    const Path metadata = dir / name;
    const Path partial = dir / (id + ".part");
    auto changed = modified_time_ms(metadata);
    if (!changed) continue;
    // The partial file grows with every chunk; a missing one (a blob_begin
    // that ended half-way) leaves the metadata file's time alone.
    if (auto grown = modified_time_ms(partial)) changed = std::max(*changed, *grown);
    if (now_ms < *changed || now_ms - *changed < limit) continue;
    // The partial file first, and the metadata file only once it is gone: a
    // host that dies in between, or a partial file that cannot be removed
    // now, leaves a metadata file for the next scan, never a partial file
    // that looks handed over.
    if (remove_file(partial) || !path_exists(partial)) (void)remove_file(metadata);
  }
}

}  // namespace qlx
