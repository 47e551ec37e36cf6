#pragma once

#include <cstddef>
#include <span>

#include "base/failure.h"

namespace qlx {

/// Fills `bytes` from the operating system's random source (ProcessPrng,
/// getrandom).
Result<void> fill_random(std::span<std::byte> bytes);

}  // namespace qlx
