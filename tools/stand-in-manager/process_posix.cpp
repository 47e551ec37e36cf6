#include <cerrno>
#include <climits>
#include <cstdlib>

#include <dirent.h>
#include <unistd.h>

#include <algorithm>

#include "process.h"

namespace stand_in {

std::vector<std::string> arguments(int argc, char** argv) {
  return {argv, argv + argc};
}

std::string describe_standard_stream(int which) {
  const std::string link = "/proc/self/fd/" + std::to_string(which);
  char target[PATH_MAX + 1];
  const ssize_t got = ::readlink(link.c_str(), target, PATH_MAX);
  if (got < 0) return "closed";
  const std::string text(target, static_cast<std::size_t>(got));
  return text == "/dev/null" ? "null" : text;
}

namespace {

/// The open descriptors, in ascending order.
std::vector<int> open_descriptors() {
  std::vector<int> fds;
  DIR* dir = ::opendir("/proc/self/fd");
  if (dir == nullptr) return fds;
  while (const dirent* entry = ::readdir(dir)) {
    if (entry->d_name[0] < '0' || entry->d_name[0] > '9') continue;
    const int fd = std::atoi(entry->d_name);
    if (fd != ::dirfd(dir)) fds.push_back(fd);
  }
  ::closedir(dir);
  std::sort(fds.begin(), fds.end());
  return fds;
}

}  // namespace

qlx::Json platform_facts() {
  qlx::Json facts = qlx::Json::object();
  facts["session_leader"] = ::getsid(0) == ::getpid();
  facts["descriptors"] = open_descriptors();
  return facts;
}

long process_id() {
  return static_cast<long>(::getpid());
}

void write_standard_output(std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t put = ::write(STDOUT_FILENO, bytes.data(), bytes.size());
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) return;
    bytes.remove_prefix(static_cast<std::size_t>(put));
  }
}

std::size_t drain_standard_input(std::size_t limit) {
  std::size_t total = 0;
  char buffer[4096];
  while (total < limit) {
    const ssize_t got = ::read(STDIN_FILENO, buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;
    total += static_cast<std::size_t>(got);
  }
  return total;
}

}  // namespace stand_in
