#pragma once

#include <string_view>

#include "platform/fs.h"

namespace qlx::testing_support {

/// POSIX only: the first `name` in a folder of PATH, as a shell finds it;
/// empty when there is none.
Path find_program(std::string_view name);

}  // namespace qlx::testing_support
