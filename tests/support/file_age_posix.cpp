#include <cerrno>
#include <cstring>
#include <ctime>

#include <fcntl.h>
#include <sys/stat.h>

#include <gtest/gtest.h>

#include "support/file_age.h"

namespace qlx::testing_support {

void set_file_age(const Path& path, std::chrono::seconds age) {
  timespec now{};
  ASSERT_EQ(::clock_gettime(CLOCK_REALTIME, &now), 0);
  now.tv_sec -= static_cast<time_t>(age.count());
  const timespec times[2] = {now, now};
  ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW), 0)
      << path.string() << ": " << std::strerror(errno);
}

}  // namespace qlx::testing_support
