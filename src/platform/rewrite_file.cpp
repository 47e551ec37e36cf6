#include "platform/rewrite_file.h"

#include <algorithm>

#include "platform/file_handle.h"

namespace qlx {
namespace {

/// The most spaces a rewrite pads a shorter content with.
constexpr std::uint64_t kMaxPadding = 1024 * 1024;

/// Rewrites an open file of `old_size` bytes to hold `bytes` (see
/// rewrite_file()).
Result<void> rewrite_open_file(const NativeHandle& file, std::uint64_t old_size,
                               std::string_view bytes) {
  const std::uint64_t new_size = bytes.size();
  if (new_size > old_size) {
    // Old content and spaces: still the old value for a reader.
    const std::string spaces(static_cast<std::size_t>(new_size - old_size), ' ');
    if (auto grown = write_all(file, spaces, static_cast<std::int64_t>(old_size)); !grown) {
      (void)set_file_length(file, old_size);
      return grown;
    }
    return write_all(file, bytes, 0);
  }
  if (new_size == old_size) return write_all(file, bytes, 0);
  if (old_size - new_size > kMaxPadding) {
    if (auto cut = set_file_length(file, new_size); !cut) return cut;
    return write_all(file, bytes, 0);
  }
  // New content and spaces: already the new value for a reader.
  std::string padded(bytes);
  padded.resize(static_cast<std::size_t>(old_size), ' ');
  if (auto written = write_all(file, padded, 0); !written) return written;
  return set_file_length(file, new_size);
}

}  // namespace

Result<void> rewrite_file(const Path& path, std::string_view bytes) {
  auto file = open_regular_file(path, FileAccess::kWriteOrCreate);
  if (!file) return fail(std::move(file.error()));
  return rewrite_open_file(file->handle, file->size, bytes);
}

Result<void> edit_file(const Path& path, std::uint64_t max_bytes, const FileEdit& edit) {
  auto file = open_regular_file(path, FileAccess::kReadWriteOrCreate);
  if (!file) return fail(std::move(file.error()));
  auto content = read_all_up_to(*file, max_bytes);
  if (!content) return fail(std::move(content.error()));
  // The file may have grown since it was opened: pad over all of it.
  const std::uint64_t old_size =
      *content ? std::max<std::uint64_t>(file->size, (*content)->size()) : file->size;
  return rewrite_open_file(file->handle, old_size, edit(*content));
}

}  // namespace qlx
