#pragma once

// --check's probe of the data directory (check.h).

#include <optional>

#include "check_report.h"

namespace qlx::host_register {

/// Whether the data directory can be created and a file in it written; the
/// fault if not.  The host still answers ping then, so the browser shows
/// nothing: the fault names what fails instead.
std::optional<Fault> check_data_dir();

}  // namespace qlx::host_register
