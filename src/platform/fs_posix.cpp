#include <cerrno>
#include <climits>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/bounded_read.h"
#include "platform/error.h"
#include "platform/file_handle_posix.h"
#include "platform/fs.h"

namespace qlx {

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
  if (!S_ISREG(info.st_mode)) return fail(kNotRegularFile);
  return static_cast<std::uint64_t>(info.st_size);
}

Result<void> write_file(const Path& path, std::string_view bytes, WhenHeld) {
  auto file = open_regular_file(path, O_WRONLY | O_CREAT | O_TRUNC, 0600);
  if (!file) return fail(std::move(file.error()));
  return write_all(file->fd.value, bytes);
}

Result<std::optional<std::string>> read_file_up_to(const Path& path, std::uint64_t max_bytes,
                                                   WhenHeld) {
  auto file = open_regular_file(path, O_RDONLY);
  if (!file) return fail(std::move(file.error()));
  const int fd = file->fd.value;
  return read_bounded(file->size, max_bytes,
                      [fd](char* buffer, std::size_t room) -> Result<std::size_t> {
                        for (;;) {
                          const ssize_t got = ::read(fd, buffer, room);
                          if (got >= 0) return static_cast<std::size_t>(got);
                          if (errno != EINTR) return fail(last_system_failure());
                        }
                      });
}

Result<void> remove_file(const Path& path, WhenHeld) {
  if (::unlink(path.c_str()) != 0) return fail(last_system_failure());
  return {};
}

AppendFile::~AppendFile() {
  if (native >= 0) ::close(static_cast<int>(native));
}

Result<AppendFile> open_for_append(const Path& path, WhenHeld) {
  auto file = open_regular_file(path, O_WRONLY | O_APPEND);
  if (!file) return fail(std::move(file.error()));
  return AppendFile(file->fd.release());
}

Result<void> append_all(AppendFile& file, std::string_view bytes) {
  return write_all(static_cast<int>(file.native), bytes);
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
