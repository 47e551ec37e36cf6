#pragma once

// Making a file's growth fail while it can still be opened and written
// within its length: the way to show what a rewrite leaves when the disk is
// full, without a full disk.  POSIX only (a file size limit): Windows has
// none, and Wine enforces no byte-range lock on a write past the end.

#include <cstdint>

#include "platform/fs.h"

namespace qlx::testing_support {

/// While it lives, writes beyond `length` bytes fail: this process's file
/// size limit is `length` (SIGXFSZ ignored), so keep the scope to the one
/// call under test.
struct GrowthFault {
  explicit GrowthFault(std::uint64_t length);
  ~GrowthFault();
  GrowthFault(const GrowthFault&) = delete;
  GrowthFault& operator=(const GrowthFault&) = delete;

  bool armed = false;
  std::uint64_t saved_limit = 0;  // the soft limit to restore
};

}  // namespace qlx::testing_support
