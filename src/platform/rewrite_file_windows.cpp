#include <windows.h>

#include <algorithm>

#include "platform/error.h"
#include "platform/file_handle_windows.h"
#include "platform/rewrite_file.h"

namespace qlx {
namespace {

/// Reserves the space of a file grown to `size` bytes without changing its
/// length, so that writing them later cannot run out of space.  Only for
/// growth: an allocation below the file's length would cut the file.  A file
/// system that cannot reserve counts as done: the growth is then written
/// first, and cut back when that fails.
Result<void> reserve(HANDLE file, std::uint64_t size) {
  FILE_ALLOCATION_INFO allocation{};
  allocation.AllocationSize.QuadPart = static_cast<LONGLONG>(size);
  if (SetFileInformationByHandle(file, FileAllocationInfo, &allocation, sizeof allocation)) {
    return {};
  }
  const DWORD code = GetLastError();
  if (code == ERROR_INVALID_FUNCTION || code == ERROR_NOT_SUPPORTED ||
      code == ERROR_INVALID_PARAMETER || code == ERROR_CALL_NOT_IMPLEMENTED) {
    return {};
  }
  return fail(system_failure(code));
}

}  // namespace

Result<void> rewrite_file(const Path& path, std::string_view bytes) {
  auto file = open_regular_file(path, GENERIC_WRITE, OPEN_ALWAYS);
  if (!file) return fail(std::move(file.error()));
  const HANDLE handle = file->handle.value;
  const std::uint64_t old_size = file->size;
  // The bytes past the old end first: if they cannot all be written (a full
  // disk), cutting the file back leaves the old content whole.  Overwriting
  // the old bytes afterwards needs no new space.
  if (bytes.size() > old_size) {
    if (auto reserved = reserve(handle, bytes.size()); !reserved) return reserved;
    if (auto grown = write_all(handle, bytes.substr(old_size), static_cast<std::int64_t>(old_size));
        !grown) {
      (void)set_file_length(handle, old_size);
      return grown;
    }
  }
  const std::size_t kept =
      static_cast<std::size_t>(std::min<std::uint64_t>(old_size, bytes.size()));
  if (auto written = write_all(handle, bytes.substr(0, kept), 0); !written) return written;
  if (bytes.size() < old_size) return set_file_length(handle, bytes.size());
  return {};
}

}  // namespace qlx
