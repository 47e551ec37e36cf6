#pragma once

// Making a file's growth fail while it can still be opened and written
// within its length: the way to show what a rewrite leaves when the disk is
// full, without a full disk.

#include <cstdint>

#include "platform/fs.h"
#include "platform/native_handle.h"

namespace qlx::testing_support {

/// While it lives, writes to `file` beyond `length` bytes fail.  POSIX: this
/// process's file size limit is `length` (SIGXFSZ ignored), so keep the scope
/// to the one call under test.  Windows: another handle holds an exclusive
/// lock on the bytes past `length`.
struct GrowthFault {
  GrowthFault(const Path& file, std::uint64_t length);
  ~GrowthFault();
  GrowthFault(const GrowthFault&) = delete;
  GrowthFault& operator=(const GrowthFault&) = delete;

  bool armed = false;
  std::uint64_t saved_limit = 0;  // POSIX: the soft limit to restore; Windows: `length`
  NativeHandle holder;            // Windows: the handle that holds the lock
};

}  // namespace qlx::testing_support
