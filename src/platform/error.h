#pragma once

#include <cstdint>

#include "base/failure.h"

namespace qlx {

/// The system text of an OS error code: the system's own message with trailing
/// white space removed, then " (os error <code>)".  POSIX takes an errno value,
/// Windows a GetLastError() code.
Failure system_failure(std::int64_t code);

/// system_failure() of the calling thread's last error (errno / GetLastError()).
Failure last_system_failure();

}  // namespace qlx
