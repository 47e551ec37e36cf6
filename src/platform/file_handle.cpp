#include "platform/file_handle.h"

#include "platform/bounded_read.h"

namespace qlx {

Result<void> write_all(const NativeHandle& file, std::string_view bytes, std::int64_t offset) {
  while (!bytes.empty()) {
    auto put = write_some(file, bytes, offset);
    if (!put) return fail(std::move(put.error()));
    if (*put == 0) return fail("failed to write whole buffer");
    bytes.remove_prefix(*put);
    if (offset != kAtPosition) offset += static_cast<std::int64_t>(*put);
  }
  return {};
}

Result<std::optional<std::string>> read_all_up_to(const RegularFile& file,
                                                  std::uint64_t max_bytes) {
  return read_bounded(file.size, max_bytes, [&file](char* buffer, std::size_t room) {
    return read_some(file.handle, buffer, room);
  });
}

}  // namespace qlx
