#include <windows.h>

#include <filesystem>

#include "support/unwritable_file.h"

namespace qlx::testing_support {

namespace fs = std::filesystem;

UnwritableFile::UnwritableFile(Path file) : file_(std::move(file)) {
  fs::permissions(file_, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
  const HANDLE held = CreateFileW(file_.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (held != INVALID_HANDLE_VALUE) held_ = NativeHandle(reinterpret_cast<std::intptr_t>(held));
}

HostOptions for_unwritable_files(HostOptions options) {
  return options;
}

}  // namespace qlx::testing_support
