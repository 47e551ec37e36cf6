#include <cerrno>

#include <sys/file.h>

#include "platform/error.h"
#include "platform/file_handle.h"

namespace qlx {

// flock(), not fcntl() locks: an fcntl lock would vanish as soon as this
// process closed any other descriptor of the same file.  Closing the only
// descriptor releases it.
Result<bool> try_lock_file(NativeHandle& file) {
  for (;;) {
    if (::flock(static_cast<int>(file.value), LOCK_EX | LOCK_NB) == 0) return true;
    if (errno == EINTR) continue;
    if (errno == EWOULDBLOCK) return false;
    return fail(last_system_failure());
  }
}

}  // namespace qlx
