// The lock that serialises the hosts' updates of the heartbeat files.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <string>

#include "platform/file_lock.h"
#include "support/temp_dir.h"

namespace qlx {
namespace {

using std::chrono::milliseconds;

TEST(FileLock, ExcludesASecondHolderUntilReleased) {
  const testing_support::TempDir scratch;
  const Path& dir = scratch.path;
  const Path path = dir / "test.lock";
  {
    auto first = lock_file(path, milliseconds(0));
    ASSERT_TRUE(first) << first.error().text;
    const auto start = std::chrono::steady_clock::now();
    auto second = lock_file(path, milliseconds(100));
    ASSERT_FALSE(second);
    EXPECT_EQ(second.error().text, "timed out waiting for a lock");
    EXPECT_GE(std::chrono::steady_clock::now() - start, milliseconds(100));
  }
  {
    auto again = lock_file(path, milliseconds(0));
    EXPECT_TRUE(again) << again.error().text;
  }
  const auto missing_dir = lock_file(dir / "missing" / "test.lock", milliseconds(0));
  ASSERT_FALSE(missing_dir);
  EXPECT_NE(missing_dir.error().text.find(" (os error "), std::string::npos);
}

}  // namespace
}  // namespace qlx
