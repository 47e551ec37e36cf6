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
    ASSERT_EQ(first.outcome, LockOutcome::kLocked) << first.failure.text;
    const auto start = std::chrono::steady_clock::now();
    auto second = lock_file(path, milliseconds(100));
    ASSERT_EQ(second.outcome, LockOutcome::kHeldElsewhere);
    EXPECT_EQ(second.failure.text, "timed out waiting for a lock");
    EXPECT_GE(std::chrono::steady_clock::now() - start, milliseconds(100));
  }
  {
    auto again = lock_file(path, milliseconds(0));
    EXPECT_EQ(again.outcome, LockOutcome::kLocked) << again.failure.text;
  }
  const auto missing_dir = lock_file(dir / "missing" / "test.lock", milliseconds(0));
  ASSERT_EQ(missing_dir.outcome, LockOutcome::kUnusable);
  EXPECT_NE(missing_dir.failure.text.find(" (os error "), std::string::npos);
  std::filesystem::create_directory(dir / "dir.lock");
  const auto directory = lock_file(dir / "dir.lock", milliseconds(0));
  ASSERT_EQ(directory.outcome, LockOutcome::kUnusable);
  EXPECT_EQ(directory.failure.text, "not a regular file");
}

}  // namespace
}  // namespace qlx
