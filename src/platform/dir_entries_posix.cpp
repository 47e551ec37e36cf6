#include <cerrno>
#include <cstring>

#include <dirent.h>
#include <sys/stat.h>

#include "platform/clock.h"
#include "platform/dir_entries.h"
#include "platform/error.h"

namespace qlx {

Result<std::vector<Path>> dir_entry_names(const Path& dir) {
  DIR* stream = ::opendir(dir.c_str());
  if (stream == nullptr) return fail(last_system_failure());
  std::vector<Path> names;
  for (;;) {
    errno = 0;
    const dirent* entry = ::readdir(stream);
    if (entry == nullptr) break;
    if (std::strcmp(entry->d_name, ".") == 0 || std::strcmp(entry->d_name, "..") == 0) continue;
    names.emplace_back(entry->d_name);
  }
  const int code = errno;
  ::closedir(stream);
  if (code != 0) return fail(system_failure(code));
  return names;
}

Result<std::uint64_t> modified_time_ms(const Path& path) {
  struct stat info;
  if (::lstat(path.c_str(), &info) != 0) return fail(last_system_failure());
  return posix_time_to_unix_ms(info.st_mtim.tv_sec, info.st_mtim.tv_nsec);
}

}  // namespace qlx
