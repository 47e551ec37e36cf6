#include <cerrno>

#include <fcntl.h>
#include <unistd.h>

#include "platform/error.h"
#include "platform/rewrite_file.h"

namespace qlx {
namespace {

Result<void> rewrite_open_file(int fd, std::string_view bytes) {
  off_t offset = 0;
  while (!bytes.empty()) {
    const ssize_t put = ::pwrite(fd, bytes.data(), bytes.size(), offset);
    if (put < 0) {
      if (errno == EINTR) continue;
      return fail(last_system_failure());
    }
    if (put == 0) return fail("failed to write whole buffer");
    bytes.remove_prefix(static_cast<std::size_t>(put));
    offset += put;
  }
  while (::ftruncate(fd, offset) != 0) {
    if (errno != EINTR) return fail(last_system_failure());
  }
  return {};
}

}  // namespace

Result<void> rewrite_file(const Path& path, std::string_view bytes) {
  int fd;
  while ((fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600)) < 0) {
    if (errno != EINTR) return fail(last_system_failure());
  }
  auto written = rewrite_open_file(fd, bytes);
  ::close(fd);
  return written;
}

}  // namespace qlx
