#include <windows.h>

#include "platform/error.h"
#include "platform/rewrite_file.h"

namespace qlx {
namespace {

Result<void> rewrite_open_file(HANDLE file, std::string_view bytes) {
  while (!bytes.empty()) {
    const DWORD want = bytes.size() > 0x40000000 ? 0x40000000 : static_cast<DWORD>(bytes.size());
    DWORD put = 0;
    if (!WriteFile(file, bytes.data(), want, &put, nullptr)) return fail(last_system_failure());
    if (put == 0) return fail("failed to write whole buffer");
    bytes.remove_prefix(put);
  }
  // The file pointer now stands at the end of the new bytes.
  if (!SetEndOfFile(file)) return fail(last_system_failure());
  return {};
}

}  // namespace

Result<void> rewrite_file(const Path& path, std::string_view bytes) {
  const HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return fail(last_system_failure());
  auto written = rewrite_open_file(file, bytes);
  CloseHandle(file);
  return written;
}

}  // namespace qlx
