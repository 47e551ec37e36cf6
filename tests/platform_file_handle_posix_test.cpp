// Files of the data directory are opened with O_NONBLOCK (so that a FIFO in
// their place cannot hang the host) and keep it.  A read or write that would
// block on such a descriptor waits as a blocking one would instead of failing.
// A regular file never makes one wait; a pipe shows the fallback.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>

#include <fcntl.h>
#include <unistd.h>

#include "platform/file_handle.h"

namespace qlx {
namespace {

struct Pipe {
  NativeHandle read_end;
  NativeHandle write_end;
};

Pipe nonblocking_pipe() {
  int ends[2];
  EXPECT_EQ(::pipe2(ends, O_NONBLOCK | O_CLOEXEC), 0);
  return {NativeHandle(ends[0]), NativeHandle(ends[1])};
}

int fd_of(const NativeHandle& handle) {
  return static_cast<int>(handle.value);
}

TEST(NonblockingFile, ReadThatWouldBlockWaits) {
  Pipe pipe = nonblocking_pipe();
  std::thread writer([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(::write(fd_of(pipe.write_end), "abc", 3), 3);
  });
  char buffer[8];
  auto got = read_some(pipe.read_end, buffer, sizeof buffer);
  writer.join();
  ASSERT_TRUE(got) << got.error().text;
  EXPECT_EQ(std::string(buffer, *got), "abc");
  EXPECT_EQ(::fcntl(fd_of(pipe.read_end), F_GETFL) & O_NONBLOCK, 0);
}

TEST(NonblockingFile, WriteThatWouldBlockWaits) {
  Pipe pipe = nonblocking_pipe();
  // Fill the pipe, so that the next write would block.
  const std::string block(4096, 'x');
  while (::write(fd_of(pipe.write_end), block.data(), block.size()) > 0) {
  }
  ASSERT_EQ(errno, EAGAIN);
  std::thread reader([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    char sink[65536];
    EXPECT_GT(::read(fd_of(pipe.read_end), sink, sizeof sink), 0);
  });
  auto put = write_some(pipe.write_end, "abc", kAtPosition);
  reader.join();
  ASSERT_TRUE(put) << put.error().text;
  EXPECT_EQ(*put, 3u);
}

}  // namespace
}  // namespace qlx
