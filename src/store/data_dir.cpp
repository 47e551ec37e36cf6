#include "store/data_dir.h"

#include "platform/known_folder.h"
#include "store/join_path.h"

namespace qlx {
namespace {

Result<Path> data_dir_child(std::string_view name) {
  auto dir = data_dir();
  if (!dir) return dir;
  return join_path(*dir, name);
}

}  // namespace

Result<Path> data_dir() {
  auto folder = local_app_data_folder();
  if (!folder) return folder;
  return join_path(join_path(*folder, "Velmont"), "QLX");
}

Result<Path> browser_transfers_dir() {
  return data_dir_child("browser-transfers");
}

Result<Path> inbox_dir() {
  return data_dir_child("inbox");
}

Result<Path> inbox_results_dir() {
  return data_dir_child("inbox-results");
}

Result<Path> inbox_staging_dir() {
  return data_dir_child("inbox-staging");
}

Result<void> ensure_dir(const Path& path) {
  if (path.empty()) return {};
  // Nearly always there already: one query instead of a failing mkdir and a
  // query.
  if (qlx::is_directory(path)) return {};
  CreateDirResult created = qlx::create_directory(path);
  if (created.status == CreateDirStatus::kCreated) return {};
  if (created.status == CreateDirStatus::kParentMissing) {
    const Path parent = path.parent_path();
    // A root ("/", "C:\") is its own parent; a bare name has none.
    if (parent.empty() || parent == path) return fail("failed to create whole tree");
    if (auto made = ensure_dir(parent); !made) return made;
    created = qlx::create_directory(path);
    if (created.status == CreateDirStatus::kCreated) return {};
  }
  // Already there, or another process created it meanwhile.
  if (qlx::is_directory(path)) return {};
  return fail(std::move(created.failure));
}

}  // namespace qlx
