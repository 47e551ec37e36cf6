#pragma once

// The data directory shared with the download manager, and the names below it:
//
//   <local application-data folder>/Velmont/QLX
//     extension-heartbeat.json, extension-heartbeats-v2.json
//     browser-transfers/   inbox/   inbox-results/   inbox-staging/
//
// Paths are looked up afresh on every call and never cached.  None of the path
// functions creates anything or checks that the path exists.

#include "base/failure.h"
#include "platform/fs.h"

namespace qlx {

/// `<local application-data folder>/Velmont/QLX`, or "No local data directory".
Result<Path> data_dir();

/// data_dir() joined with "browser-transfers"; the same failure.
Result<Path> browser_transfers_dir();

/// data_dir() joined with "inbox"; the same failure.
Result<Path> inbox_dir();

/// data_dir() joined with "inbox-results"; the same failure.
Result<Path> inbox_results_dir();

/// data_dir() joined with "inbox-staging", where request files are written
/// before they are renamed into the inbox whole; the same failure.
Result<Path> inbox_staging_dir();

/// Creates `path` and every missing parent.  Success when the directory exists
/// afterwards, also when another process created it at the same moment; an
/// empty path is success at once.  Otherwise the system text of the failed
/// attempt, or "failed to create whole tree" for a path without a parent.
Result<void> ensure_dir(const Path& path);

}  // namespace qlx
