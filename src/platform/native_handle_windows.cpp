#include "platform/native_handle.h"

#include <windows.h>

namespace qlx {

void close_native(std::intptr_t value) {
  if (value != 0) CloseHandle(reinterpret_cast<HANDLE>(value));
}

}  // namespace qlx
