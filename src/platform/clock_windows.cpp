#include <windows.h>

#include "platform/clock.h"

namespace qlx {

std::uint64_t unix_time_ms() {
  FILETIME now;
  GetSystemTimePreciseAsFileTime(&now);
  return filetime_to_unix_ms((static_cast<std::uint64_t>(now.dwHighDateTime) << 32) |
                             now.dwLowDateTime);
}

}  // namespace qlx
