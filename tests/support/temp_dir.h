#pragma once

#include "platform/fs.h"

namespace qlx::testing_support {

/// A fresh folder of its own below the system's temporary folder, with a
/// random name, removed with everything in it at the end.  Creating it throws
/// std::filesystem::filesystem_error when the temporary folder is unusable.
struct TempDir {
  Path path;
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
};

}  // namespace qlx::testing_support
