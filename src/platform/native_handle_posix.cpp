#include "platform/native_handle.h"

#include <unistd.h>

namespace qlx {

void close_native(std::intptr_t value) { ::close(static_cast<int>(value)); }

}  // namespace qlx
