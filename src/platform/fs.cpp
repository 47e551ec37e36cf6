#include "platform/fs.h"

#include "platform/file_handle.h"

namespace qlx {

Result<void> write_file(const Path& path, std::string_view bytes, WhenHeld when) {
  return write_file_from(
      path, [bytes](const ByteSink& sink) { return sink(bytes); }, when);
}

Result<void> write_file_from(const Path& path, const ByteProducer& produce, WhenHeld when) {
  auto file = open_regular_file(path, FileAccess::kTruncate, when);
  if (!file) return fail(std::move(file.error()));
  const NativeHandle& handle = file->handle;
  return produce([&handle](std::string_view piece) { return write_all(handle, piece); });
}

Result<std::optional<std::string>> read_file_up_to(const Path& path, std::uint64_t max_bytes,
                                                   WhenHeld when) {
  auto file = open_regular_file(path, FileAccess::kRead, when);
  if (!file) return fail(std::move(file.error()));
  return read_all_up_to(*file, max_bytes);
}

Result<std::string> read_file(const Path& path, WhenHeld when) {
  auto content = read_file_up_to(path, kMaxFileRead, when);
  if (!content) return fail(std::move(content.error()));
  if (!*content) return fail("file is larger than 16 MiB");
  return std::move(**content);
}

Result<AppendFile> open_for_append(const Path& path, WhenHeld when) {
  auto file = open_regular_file(path, FileAccess::kAppend, when);
  if (!file) return fail(std::move(file.error()));
  return AppendFile{std::move(file->handle)};
}

Result<void> append_all(AppendFile& file, std::string_view bytes) {
  return write_all(file.handle, bytes);
}

}  // namespace qlx
