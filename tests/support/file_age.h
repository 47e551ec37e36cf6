#pragma once

// Making files look old, for the clean-up of files that nobody touched for a
// while (support/file_age_<platform>.cpp).

#include <chrono>

#include "platform/fs.h"

namespace qlx::testing_support {

/// Sets the modification (and access) time of `path`, not following a link,
/// to `age` before now; fails the calling test when it cannot.
void set_file_age(const Path& path, std::chrono::seconds age);

}  // namespace qlx::testing_support
