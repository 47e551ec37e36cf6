#include <cerrno>
#include <climits>
#include <cstdio>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/error.h"
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

Result<void> remove_file(const Path& path, WhenHeld) {
  if (::unlink(path.c_str()) != 0) return fail(last_system_failure());
  return {};
}

Result<void> rename_file(const Path& from, const Path& to, WhenHeld) {
  if (::rename(from.c_str(), to.c_str()) != 0) return fail(last_system_failure());
  return {};
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
