#pragma once

#include <string_view>

#include "platform/fs.h"

namespace qlx {

/// `base`, the platform's separator unless `base` already ends with one, and
/// `name` (ASCII).  Unlike Path::operator/, it never drops `base` and never
/// treats a drive ("X:") specially: "X:\Local\" and "Velmont" give
/// "X:\Local\Velmont".
Path join_path(const Path& base, std::string_view name);

}  // namespace qlx
