#pragma once

// Reading what a test left on disk, without the host's own file functions.

#include <string>

#include "platform/fs.h"

namespace qlx::testing_support {

/// The bytes of the file at `path`, or "<unreadable: path>" (which no file
/// of the tests holds) when it cannot be opened.
std::string file_text(const Path& path);

}  // namespace qlx::testing_support
