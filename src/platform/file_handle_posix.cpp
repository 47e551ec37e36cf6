#include <cerrno>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/error.h"
#include "platform/file_handle.h"

namespace qlx {
namespace {

int open_flags(FileAccess access) {
  switch (access) {
    case FileAccess::kRead:
      return O_RDONLY;
    case FileAccess::kLock:
      return O_RDONLY | O_CREAT;
    case FileAccess::kReadWriteOrCreate:
      return O_RDWR | O_CREAT;
    case FileAccess::kWriteOrCreate:
      return O_WRONLY | O_CREAT;
    case FileAccess::kTruncate:
      return O_WRONLY | O_CREAT | O_TRUNC;
    case FileAccess::kAppend:
      return O_WRONLY | O_APPEND;
  }
  return O_RDONLY;
}

int fd_of(const NativeHandle& file) {
  return static_cast<int>(file.value);
}

/// A file is opened with O_NONBLOCK, so that opening a FIFO cannot hang the
/// host, and the flag is left on: a regular file's reads and writes never
/// block, so Linux ignores it for them and clearing it would cost a system
/// call per open.  Should a read or write still answer EAGAIN (a file system
/// that honours the flag), it is cleared here and the call is made again.
/// When it gives up, errno is the read's or write's own again.
bool cleared_nonblocking(int fd) {
  const int cause = errno;
  if (cause != EAGAIN && cause != EWOULDBLOCK) return false;
  const int flags = ::fcntl(fd, F_GETFL);
  if (flags != -1 && (flags & O_NONBLOCK) != 0 && ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != -1) {
    return true;
  }
  errno = cause;
  return false;
}

}  // namespace

Result<RegularFile> open_regular_file(const Path& path, FileAccess access, WhenHeld) {
  const int flags = open_flags(access);
  int fd;
  while ((fd = ::open(path.c_str(), flags | O_NONBLOCK | O_CLOEXEC, 0600)) < 0) {
    if (errno == EINTR) continue;
    // Only what is not a regular file is refused so: a FIFO without a reader
    // or a socket opened for writing (ENXIO), a directory opened for writing.
    if (errno == ENXIO || errno == EISDIR) return fail(kNotRegularFile);
    return fail(last_system_failure());
  }
  RegularFile file{NativeHandle(fd), 0};
  struct stat info;
  if (::fstat(fd, &info) != 0) return fail(last_system_failure());
  if (!S_ISREG(info.st_mode)) return fail(kNotRegularFile);
  file.size = static_cast<std::uint64_t>(info.st_size);
  return file;
}

Result<std::size_t> read_some(const NativeHandle& file, char* buffer, std::size_t room) {
  for (;;) {
    const ssize_t got = ::read(fd_of(file), buffer, room);
    if (got >= 0) return static_cast<std::size_t>(got);
    if (errno != EINTR && !cleared_nonblocking(fd_of(file))) return fail(last_system_failure());
  }
}

Result<std::size_t> write_some(const NativeHandle& file, std::string_view bytes,
                               std::int64_t offset) {
  for (;;) {
    const ssize_t put = offset == kAtPosition ? ::write(fd_of(file), bytes.data(), bytes.size())
                                              : ::pwrite(fd_of(file), bytes.data(), bytes.size(),
                                                         static_cast<off_t>(offset));
    if (put >= 0) return static_cast<std::size_t>(put);
    if (errno != EINTR && !cleared_nonblocking(fd_of(file))) return fail(last_system_failure());
  }
}

Result<void> set_file_length(const NativeHandle& file, std::uint64_t size) {
  while (::ftruncate(fd_of(file), static_cast<off_t>(size)) != 0) {
    if (errno != EINTR) return fail(last_system_failure());
  }
  return {};
}

}  // namespace qlx
