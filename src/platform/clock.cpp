#include "platform/clock.h"

#include <limits>

namespace qlx {

std::uint64_t filetime_to_unix_ms(std::uint64_t filetime) {
  constexpr std::uint64_t kUnixEpochAsFiletime = 116'444'736'000'000'000;
  if (filetime < kUnixEpochAsFiletime) return 0;
  return (filetime - kUnixEpochAsFiletime) / 10'000;
}

std::uint64_t posix_time_to_unix_ms(std::int64_t seconds, std::int64_t nanoseconds) {
  if (seconds < 0) return 0;
  constexpr std::uint64_t kMax = std::numeric_limits<std::uint64_t>::max();
  const auto whole = static_cast<std::uint64_t>(seconds);
  const auto part = static_cast<std::uint64_t>(nanoseconds) / 1'000'000;
  if (whole > (kMax - part) / 1'000) return kMax;
  return whole * 1'000 + part;
}

}  // namespace qlx
