#include "transfer/abandoned_transfers.h"

#include <algorithm>
#include <optional>
#include <string>

#include "platform/dir_entries.h"
#include "store/abandoned_files.h"
#include "transfer/transfer_files.h"

namespace qlx {
namespace {

/// The partial file beside the metadata file `name` of `dir`.
Path partial_beside(const Path& dir, const Path& name) {
  return dir / (path_to_utf8(name.stem()) + ".part");
}

}  // namespace

void remove_abandoned_transfers(const Path& dir, std::uint64_t now_ms) {
  remove_abandoned_files(dir, now_ms,
                         {.last_change = [&dir](const Path& name) -> std::optional<std::uint64_t> {
                            if (name.extension() != ".json") return std::nullopt;
                            // Only the host's own metadata files: the stem is a valid transfer id.
                            if (!validate_transfer_id(path_to_utf8(name.stem())))
                              return std::nullopt;
                            auto changed = modified_time_ms(dir / name);
                            if (!changed) return std::nullopt;
                            // The partial file grows with every chunk; a missing one (a
                            // blob_begin that ended half-way) leaves the metadata file's time
                            // alone.
                            if (auto grown = modified_time_ms(partial_beside(dir, name))) {
                              return std::max(*changed, *grown);
                            }
                            return *changed;
                          },
                          .remove =
                              [&dir](const Path& name) {
                                // The partial file first, and the metadata file only once it is
                                // gone: a host that dies in between, or a partial file that
                                // cannot be removed now, leaves a metadata file for the next
                                // scan, never a partial file that looks handed over.
                                const Path partial = partial_beside(dir, name);
                                if (remove_file(partial) || !path_exists(partial))
                                  (void)remove_file(dir / name);
                              }});
}

}  // namespace qlx
