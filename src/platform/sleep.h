#pragma once

#include <chrono>

namespace qlx {

/// Pauses the calling thread for at least `duration`.
void sleep_for(std::chrono::milliseconds duration);

}  // namespace qlx
