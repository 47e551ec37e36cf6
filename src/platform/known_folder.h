#pragma once

#include "base/failure.h"
#include "platform/fs.h"

namespace qlx {

/// The current user's local application-data folder, asked of the system anew
/// on every call.  Windows: the known folder FOLDERID_LocalAppData, unchanged.
/// Linux, which has no such folder: $XDG_DATA_HOME when it is an absolute path,
/// else $HOME/.local/share when HOME is an absolute path; the chosen folder
/// must be valid UTF-8.  Otherwise the failure "No local data directory".
Result<Path> local_app_data_folder();

}  // namespace qlx
