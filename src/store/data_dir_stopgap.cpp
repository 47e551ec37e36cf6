// STOPGAP for the transfer branch until the data directory lands on main.
// Removed on merge.
#include "platform/fs.h"
#include "store/data_dir.h"

namespace qlx {

Result<Path> stopgap_local_app_data();

Result<Path> data_dir() {
  auto folder = stopgap_local_app_data();
  if (!folder) return folder;
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
  auto made = qlx::create_directory(path);
  if (made.status == CreateDirStatus::kCreated) return {};
  if (made.status == CreateDirStatus::kParentMissing) {
    if (!path.has_parent_path() || path.parent_path() == path) {
      return fail("failed to create whole tree");
    }
    if (auto parent = ensure_dir(path.parent_path()); !parent) return parent;
    made = qlx::create_directory(path);
    if (made.status == CreateDirStatus::kCreated) return {};
  }
  if (qlx::is_directory(path)) return {};
  return fail(made.failure);
}

}  // namespace qlx
