#include "handoff/launch_manager.h"

#include <array>
#include <string_view>

#include "platform/fs.h"
#include "platform/launch.h"

namespace qlx {
namespace {

/// Tried in this order, only in the directory of the host's own executable.
constexpr std::array<std::string_view, 2> kManagerNames{
    "velmont-download-manager.exe",
    "Velmont Download Manager.exe",
};

}  // namespace

bool launch_manager() {
  const auto self = current_executable_path();
  if (!self) return false;
  const Path dir = self->parent_path();
  if (dir.empty()) return false;
  for (const std::string_view name : kManagerNames) {
    const Path candidate = dir / Path(name);
    // A directory of that name passes here and fails to start below.
    if (!path_exists(candidate)) continue;
    if (launch_detached(candidate)) return true;
  }
  return false;
}

}  // namespace qlx
