#include <cerrno>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include "platform/error.h"
#include "platform/file_lock_native.h"

namespace qlx {

// flock(), not fcntl() locks: an fcntl lock would vanish as soon as this
// process closed any other descriptor of the same file.

Result<std::intptr_t> open_lock_file(const Path& path) {
  for (;;) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CREAT | O_CLOEXEC, 0600);
    if (fd >= 0) return fd;
    if (errno != EINTR) return fail(last_system_failure());
  }
}

Result<LockAttempt> try_lock(std::intptr_t native) {
  for (;;) {
    if (::flock(static_cast<int>(native), LOCK_EX | LOCK_NB) == 0) return LockAttempt::kAcquired;
    if (errno == EWOULDBLOCK) return LockAttempt::kBusy;
    if (errno != EINTR) return fail(last_system_failure());
  }
}

void close_lock_file(std::intptr_t native) {
  // Closing the only descriptor releases the lock.
  ::close(static_cast<int>(native));
}

}  // namespace qlx
