#include <cerrno>
#include <thread>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include "platform/error.h"
#include "platform/file_handle_posix.h"
#include "platform/file_lock.h"

namespace qlx {

// flock(), not fcntl() locks: an fcntl lock would vanish as soon as this
// process closed any other descriptor of the same file.

FileLock::~FileLock() {
  // Closing the only descriptor releases the lock.
  if (native != -1) ::close(static_cast<int>(native));
}

LockAttempt lock_file(const Path& path, std::chrono::milliseconds timeout) {
  auto file = open_regular_file(path, O_RDONLY | O_CREAT, 0600);
  if (!file) return {LockOutcome::kUnusable, FileLock(), std::move(file.error())};
  FileLock lock(file->fd.release());
  const int fd = static_cast<int>(lock.native);
  // A blocking flock() cannot give up after a while, so poll.  The pause stays
  // short and never grows: a waiter that backed off further than the others
  // would lose every race against them and could wait in vain.
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0) return {LockOutcome::kLocked, std::move(lock), {}};
    if (errno == EINTR) continue;
    if (errno != EWOULDBLOCK) return {LockOutcome::kUnusable, FileLock(), last_system_failure()};
    if (std::chrono::steady_clock::now() >= deadline) {
      return {LockOutcome::kHeldElsewhere, FileLock(), Failure{"timed out waiting for a lock"}};
    }
    std::this_thread::sleep_for(std::chrono::microseconds(50));
  }
}

}  // namespace qlx
