#include "platform/file_handle_posix.h"

#include <cerrno>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/error.h"

namespace qlx {

Fd::~Fd() {
  if (value >= 0) ::close(value);
}

int Fd::release() {
  const int fd = value;
  value = -1;
  return fd;
}

Result<RegularFile> open_regular_file(const Path& path, int flags, mode_t mode) {
  int fd;
  while ((fd = ::open(path.c_str(), flags | O_NONBLOCK | O_CLOEXEC, mode)) < 0) {
    if (errno == EINTR) continue;
    // Only what is not a regular file is refused so: a FIFO without a reader
    // or a socket opened for writing (ENXIO), a directory opened for writing.
    if (errno == ENXIO || errno == EISDIR) return fail(kNotRegularFile);
    return fail(last_system_failure());
  }
  RegularFile file{Fd(fd), 0};
  struct stat info;
  if (::fstat(fd, &info) != 0) return fail(last_system_failure());
  if (!S_ISREG(info.st_mode)) return fail(kNotRegularFile);
  // F_SETFL takes only the status flags (O_APPEND here) of `flags`.
  if (::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) == -1) return fail(last_system_failure());
  file.size = static_cast<std::uint64_t>(info.st_size);
  return file;
}

Result<void> write_all(int fd, std::string_view bytes, std::int64_t offset) {
  while (!bytes.empty()) {
    const ssize_t put = offset == kAtPosition
                            ? ::write(fd, bytes.data(), bytes.size())
                            : ::pwrite(fd, bytes.data(), bytes.size(), static_cast<off_t>(offset));
    if (put < 0) {
      if (errno == EINTR) continue;
      return fail(last_system_failure());
    }
    if (put == 0) return fail("failed to write whole buffer");
    bytes.remove_prefix(static_cast<std::size_t>(put));
    if (offset != kAtPosition) offset += put;
  }
  return {};
}

Result<void> set_file_length(int fd, std::uint64_t size) {
  while (::ftruncate(fd, static_cast<off_t>(size)) != 0) {
    if (errno != EINTR) return fail(last_system_failure());
  }
  return {};
}

}  // namespace qlx
