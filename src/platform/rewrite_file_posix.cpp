#include <algorithm>
#include <cerrno>

#include <fcntl.h>
#include <unistd.h>

#include "platform/error.h"
#include "platform/file_handle_posix.h"
#include "platform/rewrite_file.h"

namespace qlx {
namespace {

/// Reserves the blocks of a file grown to `size` bytes without changing its
/// length, so that writing them later cannot run out of space.  A file
/// system that cannot reserve counts as done: the growth is then written
/// first, and cut back when that fails.
Result<void> reserve(int fd, std::uint64_t size) {
  while (::fallocate(fd, FALLOC_FL_KEEP_SIZE, 0, static_cast<off_t>(size)) != 0) {
    if (errno == EINTR) continue;
    if (errno == EOPNOTSUPP || errno == ENOSYS) return {};
    return fail(last_system_failure());
  }
  return {};
}

}  // namespace

Result<void> rewrite_file(const Path& path, std::string_view bytes) {
  auto file = open_regular_file(path, O_WRONLY | O_CREAT, 0600);
  if (!file) return fail(std::move(file.error()));
  const int fd = file->fd.value;
  const std::uint64_t old_size = file->size;
  // Only growth needs new space: the old bytes already have theirs (a
  // rewrite of the same length, the usual case, reserves nothing).  The bytes
  // past the old end go first: if they cannot all be written (a file size
  // limit, an error), cutting the file back leaves the old content whole.
  if (bytes.size() > old_size) {
    if (auto reserved = reserve(fd, bytes.size()); !reserved) return reserved;
    if (auto grown = write_all(fd, bytes.substr(old_size), static_cast<std::int64_t>(old_size));
        !grown) {
      (void)set_file_length(fd, old_size);
      return grown;
    }
  }
  const std::size_t kept =
      static_cast<std::size_t>(std::min<std::uint64_t>(old_size, bytes.size()));
  if (auto written = write_all(fd, bytes.substr(0, kept), 0); !written) return written;
  if (bytes.size() < old_size) return set_file_length(fd, bytes.size());
  return {};
}

}  // namespace qlx
