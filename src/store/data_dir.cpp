// Temporary: the data directory functions until the store module lands.
#include "store/data_dir.h"

#include "platform/fs.h"

namespace qlx {

/// The user's local application-data folder (data_dir_<platform>.cpp).
Result<Path> local_data_folder();

Result<Path> data_dir() {
  auto folder = local_data_folder();
  if (!folder) return fail(std::move(folder.error()));
  return *folder / "Velmont" / "QLX";
}

Result<Path> browser_transfers_dir() {
  auto dir = data_dir();
  if (!dir) return dir;
  return *dir / "browser-transfers";
}

Result<Path> inbox_dir() {
  auto dir = data_dir();
  if (!dir) return dir;
  return *dir / "inbox";
}

Result<Path> inbox_results_dir() {
  auto dir = data_dir();
  if (!dir) return dir;
  return *dir / "inbox-results";
}

Result<void> ensure_dir(const Path& path) {
  if (path.empty()) return {};
  CreateDirResult made = qlx::create_directory(path);
  if (made.status == CreateDirStatus::kCreated) return {};
  if (made.status == CreateDirStatus::kParentMissing) {
    const Path parent = path.parent_path();
    if (parent.empty() || parent == path) return fail("failed to create whole tree");
    if (auto up = ensure_dir(parent); !up) return up;
    made = qlx::create_directory(path);
    if (made.status == CreateDirStatus::kCreated) return {};
  }
  if (qlx::is_directory(path)) return {};
  return fail(std::move(made.failure));
}

}  // namespace qlx
