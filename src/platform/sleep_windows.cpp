#include <windows.h>

#include "platform/sleep.h"

namespace qlx {

void sleep_for(std::chrono::milliseconds duration) {
  if (duration.count() <= 0) return;
  Sleep(static_cast<DWORD>(duration.count()));
}

}  // namespace qlx
