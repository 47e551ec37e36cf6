#pragma once

// Registry keys for the Windows parts of qlx-host-register.

#include <windows.h>

#include "platform/native_handle.h"

namespace qlx::host_register {

/// Holds an open registry key until the record goes out of scope (RegCloseKey).
NativeHandle hold_key(HKEY key);

}  // namespace qlx::host_register
