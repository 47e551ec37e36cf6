#pragma once

// Reading what a test left on disk, without the host's own file functions.

#include <string>
#include <vector>

#include "platform/fs.h"

namespace qlx::testing_support {

/// The bytes of the file at `path`, or "<unreadable: path>" (which no file
/// of the tests holds) when it cannot be opened.
std::string file_text(const Path& path);

/// Every file below `root` (not the folders), relative to it with "/"
/// between names, in sorted order.
std::vector<std::string> files_below(const Path& root);

}  // namespace qlx::testing_support
