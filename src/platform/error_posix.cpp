#include <cerrno>
#include <cstring>
#include <string>

#include "platform/error.h"

namespace qlx {

Failure system_failure(std::int64_t code) {
  std::string text = std::strerror(static_cast<int>(code));
  while (!text.empty() && (text.back() == ' ' || text.back() == '\n' || text.back() == '\r' ||
                           text.back() == '\t')) {
    text.pop_back();
  }
  return Failure{text + " (os error " + std::to_string(code) + ")"};
}

Failure last_system_failure() {
  return system_failure(errno);
}

}  // namespace qlx
