#pragma once

// Starting the download manager from beside the host's own executable.

namespace qlx {

/// Starts "velmont-download-manager.exe", else "Velmont Download Manager.exe",
/// from the directory of the host's own executable, without arguments and
/// with its standard streams on the null device.  The child is never waited
/// for.  True when a process was created; every error gives false.
bool launch_manager();

}  // namespace qlx
