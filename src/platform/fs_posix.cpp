#include <cerrno>
#include <climits>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/error.h"
#include "platform/fs.h"

namespace qlx {
namespace {

int open_retrying(const char* path, int flags, mode_t mode = 0) {
  for (;;) {
    const int fd = ::open(path, flags | O_CLOEXEC, mode);
    if (fd >= 0 || errno != EINTR) return fd;
  }
}

Result<void> write_all_fd(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t put = ::write(fd, bytes.data(), bytes.size());
    if (put < 0) {
      if (errno == EINTR) continue;
      return fail(last_system_failure());
    }
    if (put == 0) return fail("failed to write whole buffer");
    bytes.remove_prefix(static_cast<std::size_t>(put));
  }
  return {};
}

}  // namespace

CreateDirResult create_directory(const Path& path) {
  if (::mkdir(path.c_str(), 0700) == 0) return {CreateDirStatus::kCreated, {}};
  const int code = errno;
  return {code == ENOENT ? CreateDirStatus::kParentMissing : CreateDirStatus::kFailed,
          system_failure(code)};
}

bool path_exists(const Path& path) {
  struct stat info;
  return ::stat(path.c_str(), &info) == 0;
}

bool is_directory(const Path& path) {
  struct stat info;
  return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

Result<std::uint64_t> file_size(const Path& path) {
  struct stat info;
  if (::stat(path.c_str(), &info) != 0) return fail(last_system_failure());
  return static_cast<std::uint64_t>(info.st_size);
}

Result<void> write_file(const Path& path, std::string_view bytes) {
  const int fd = open_retrying(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  if (fd < 0) return fail(last_system_failure());
  auto written = write_all_fd(fd, bytes);
  ::close(fd);
  return written;
}

Result<std::string> read_file(const Path& path) {
  const int fd = open_retrying(path.c_str(), O_RDONLY);
  if (fd < 0) return fail(last_system_failure());
  std::string content;
  struct stat info;
  if (::fstat(fd, &info) == 0 && info.st_size > 0)
    content.reserve(static_cast<std::size_t>(info.st_size));
  char chunk[65536];
  for (;;) {
    const ssize_t got = ::read(fd, chunk, sizeof chunk);
    if (got < 0) {
      if (errno == EINTR) continue;
      const Failure failure = last_system_failure();
      ::close(fd);
      return fail(failure);
    }
    if (got == 0) break;
    content.append(chunk, static_cast<std::size_t>(got));
  }
  ::close(fd);
  return content;
}

Result<void> remove_file(const Path& path) {
  if (::unlink(path.c_str()) != 0) return fail(last_system_failure());
  return {};
}

AppendFile::~AppendFile() {
  if (native >= 0) ::close(static_cast<int>(native));
}

Result<AppendFile> open_for_append(const Path& path) {
  const int fd = open_retrying(path.c_str(), O_WRONLY | O_APPEND);
  if (fd < 0) return fail(last_system_failure());
  return AppendFile(fd);
}

Result<void> append_all(AppendFile& file, std::string_view bytes) {
  return write_all_fd(static_cast<int>(file.native), bytes);
}

std::string path_to_utf8(const Path& path) {
  return path.native();
}

Result<Path> current_executable_path() {
  char buffer[PATH_MAX + 1];
  const ssize_t got = ::readlink("/proc/self/exe", buffer, PATH_MAX);
  if (got < 0) return fail(last_system_failure());
  return Path(std::string(buffer, static_cast<std::size_t>(got)));
}

}  // namespace qlx
