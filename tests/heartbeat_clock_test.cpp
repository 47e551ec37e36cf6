// The heartbeat timestamp: whole milliseconds since 1970, never negative.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <limits>

#include "platform/clock.h"

namespace qlx {
namespace {

constexpr std::uint64_t kEpoch = 116'444'736'000'000'000;  // 1970 as a FILETIME
constexpr std::uint64_t kMax = std::numeric_limits<std::uint64_t>::max();

TEST(FiletimeToUnixMs, DropsTheRemainderAndClampsBefore1970) {
  EXPECT_EQ(filetime_to_unix_ms(0), 0u);
  EXPECT_EQ(filetime_to_unix_ms(kEpoch - 1), 0u);
  EXPECT_EQ(filetime_to_unix_ms(kEpoch), 0u);
  EXPECT_EQ(filetime_to_unix_ms(kEpoch + 9'999), 0u);
  EXPECT_EQ(filetime_to_unix_ms(kEpoch + 10'000), 1u);
  // 2024-01-01T00:00:00.123456Z
  EXPECT_EQ(filetime_to_unix_ms(133'485'408'001'234'560), 1'704'067'200'123u);
  EXPECT_EQ(filetime_to_unix_ms(kMax), (kMax - kEpoch) / 10'000);
}

TEST(PosixTimeToUnixMs, DropsTheRemainderAndClampsBefore1970) {
  EXPECT_EQ(posix_time_to_unix_ms(-1, 999'999'999), 0u);
  EXPECT_EQ(posix_time_to_unix_ms(std::numeric_limits<std::int64_t>::min(), 0), 0u);
  EXPECT_EQ(posix_time_to_unix_ms(0, 999'999), 0u);
  EXPECT_EQ(posix_time_to_unix_ms(0, 1'000'000), 1u);
  EXPECT_EQ(posix_time_to_unix_ms(1'704'067'200, 123'456'789), 1'704'067'200'123u);
  EXPECT_EQ(posix_time_to_unix_ms(std::numeric_limits<std::int64_t>::max(), 0), kMax);
}

TEST(UnixTimeMs, AgreesWithTheSystemClock) {
  const auto expected =
      static_cast<std::uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                     std::chrono::system_clock::now().time_since_epoch())
                                     .count());
  const std::uint64_t now = unix_time_ms();
  EXPECT_GE(now + 1000, expected);
  EXPECT_LE(now, expected + 1000);
}

}  // namespace
}  // namespace qlx
