#pragma once

// Transfers that the browser abandoned (a tab closed, the browser quit, the
// extension reloaded) would keep their files for good: each blob_begin
// removes those that nobody has touched for a day (store/abandoned_files.h).

#include <cstdint>

#include "platform/fs.h"

namespace qlx {

/// One scan of the transfers directory `dir`: every metadata file
/// "<transfer id>.json" such that neither it nor "<transfer id>.part" was
/// modified within kAbandonedAfter before `now_ms` (ms since 1970) is removed
/// with its partial file, the partial file first.  A partial file without a
/// metadata file (handed over to the download manager) and every other file
/// are never touched.  Failures (a file held, removed meanwhile, or a
/// directory that cannot be listed) are ignored.
void remove_abandoned_transfers(const Path& dir, std::uint64_t now_ms);

}  // namespace qlx
