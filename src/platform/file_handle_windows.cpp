#include "platform/file_handle_windows.h"

#include "platform/error.h"
#include "platform/held_file_windows.h"

namespace qlx {

Handle::~Handle() {
  if (valid()) CloseHandle(value);
}

HANDLE Handle::release() {
  const HANDLE h = value;
  value = INVALID_HANDLE_VALUE;
  return h;
}

Result<RegularFile> open_regular_file(const Path& path, DWORD access, DWORD disposition,
                                      WhenHeld when) {
  HANDLE opened = INVALID_HANDLE_VALUE;
  const DWORD code = retry_while_held(when, [&]() -> DWORD {
    opened =
        CreateFileW(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
    return opened != INVALID_HANDLE_VALUE ? ERROR_SUCCESS : GetLastError();
  });
  RegularFile file{Handle(opened), 0};
  if (!file.handle.valid()) {
    // A directory refuses to open as a file with "access denied".
    if (code == ERROR_ACCESS_DENIED) {
      const DWORD attributes = GetFileAttributesW(path.c_str());
      if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        return fail(kNotRegularFile);
      }
    }
    return fail(system_failure(code));
  }
  if (GetFileType(file.handle.value) != FILE_TYPE_DISK) return fail(kNotRegularFile);
  LARGE_INTEGER size;
  if (!GetFileSizeEx(file.handle.value, &size)) return fail(last_system_failure());
  file.size = static_cast<std::uint64_t>(size.QuadPart);
  return file;
}

Result<void> write_all(HANDLE file, std::string_view bytes, std::int64_t offset) {
  while (!bytes.empty()) {
    const DWORD want = bytes.size() > 0x40000000 ? 0x40000000 : static_cast<DWORD>(bytes.size());
    DWORD put = 0;
    OVERLAPPED at{};
    if (offset != kAtPosition) {
      at.Offset = static_cast<DWORD>(static_cast<std::uint64_t>(offset) & 0xFFFFFFFFu);
      at.OffsetHigh = static_cast<DWORD>(static_cast<std::uint64_t>(offset) >> 32);
    }
    if (!WriteFile(file, bytes.data(), want, &put, offset == kAtPosition ? nullptr : &at)) {
      return fail(last_system_failure());
    }
    if (put == 0) return fail("failed to write whole buffer");
    bytes.remove_prefix(put);
    if (offset != kAtPosition) offset += put;
  }
  return {};
}

Result<void> set_file_length(HANDLE file, std::uint64_t size) {
  FILE_END_OF_FILE_INFO end{};
  end.EndOfFile.QuadPart = static_cast<LONGLONG>(size);
  if (!SetFileInformationByHandle(file, FileEndOfFileInfo, &end, sizeof end)) {
    return fail(last_system_failure());
  }
  return {};
}

}  // namespace qlx
