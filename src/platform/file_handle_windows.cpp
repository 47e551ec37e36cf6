#include <windows.h>

#include "platform/error.h"
#include "platform/file_handle.h"
#include "platform/held_file_windows.h"

namespace qlx {
namespace {

struct OpenMode {
  DWORD access;
  DWORD disposition;
};

OpenMode open_mode(FileAccess access) {
  switch (access) {
    case FileAccess::kRead:
      return {GENERIC_READ, OPEN_EXISTING};
    case FileAccess::kLock:
      return {GENERIC_READ, OPEN_ALWAYS};
    case FileAccess::kReadWriteOrCreate:
      return {GENERIC_READ | GENERIC_WRITE, OPEN_ALWAYS};
    case FileAccess::kWriteOrCreate:
      return {GENERIC_WRITE, OPEN_ALWAYS};
    case FileAccess::kTruncate:
      return {GENERIC_WRITE, CREATE_ALWAYS};
    case FileAccess::kAppend:
      // FILE_APPEND_DATA without FILE_WRITE_DATA: every write lands at the end.
      return {FILE_APPEND_DATA | SYNCHRONIZE, OPEN_EXISTING};
  }
  return {GENERIC_READ, OPEN_EXISTING};
}

HANDLE handle_of(const NativeHandle& file) {
  return reinterpret_cast<HANDLE>(file.value);
}

}  // namespace

Result<RegularFile> open_regular_file(const Path& path, FileAccess access, WhenHeld when) {
  const OpenMode mode = open_mode(access);
  HANDLE opened = INVALID_HANDLE_VALUE;
  const DWORD code = retry_while_held(when, [&]() -> DWORD {
    opened = CreateFileW(path.c_str(), mode.access,
                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                         mode.disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
    return opened != INVALID_HANDLE_VALUE ? ERROR_SUCCESS : GetLastError();
  });
  if (opened == INVALID_HANDLE_VALUE) {
    // A directory refuses to open as a file with "access denied".
    if (code == ERROR_ACCESS_DENIED) {
      const DWORD attributes = GetFileAttributesW(path.c_str());
      if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        return fail(kNotRegularFile);
      }
    }
    return fail(system_failure(code));
  }
  RegularFile file{NativeHandle(reinterpret_cast<std::intptr_t>(opened)), 0};
  if (GetFileType(opened) != FILE_TYPE_DISK) return fail(kNotRegularFile);
  LARGE_INTEGER size;
  if (!GetFileSizeEx(opened, &size)) return fail(last_system_failure());
  file.size = static_cast<std::uint64_t>(size.QuadPart);
  return file;
}

Result<std::size_t> read_some(const NativeHandle& file, char* buffer, std::size_t room) {
  const DWORD want = room > 0x40000000 ? 0x40000000 : static_cast<DWORD>(room);
  DWORD got = 0;
  if (!ReadFile(handle_of(file), buffer, want, &got, nullptr)) return fail(last_system_failure());
  return static_cast<std::size_t>(got);
}

Result<std::size_t> write_some(const NativeHandle& file, std::string_view bytes,
                               std::int64_t offset) {
  const DWORD want = bytes.size() > 0x40000000 ? 0x40000000 : static_cast<DWORD>(bytes.size());
  DWORD put = 0;
  OVERLAPPED at{};
  if (offset != kAtPosition) {
    at.Offset = static_cast<DWORD>(static_cast<std::uint64_t>(offset) & 0xFFFFFFFFu);
    at.OffsetHigh = static_cast<DWORD>(static_cast<std::uint64_t>(offset) >> 32);
  }
  if (!WriteFile(handle_of(file), bytes.data(), want, &put,
                 offset == kAtPosition ? nullptr : &at)) {
    return fail(last_system_failure());
  }
  return static_cast<std::size_t>(put);
}

Result<void> set_file_length(const NativeHandle& file, std::uint64_t size) {
  FILE_END_OF_FILE_INFO end{};
  end.EndOfFile.QuadPart = static_cast<LONGLONG>(size);
  if (!SetFileInformationByHandle(handle_of(file), FileEndOfFileInfo, &end, sizeof end)) {
    return fail(last_system_failure());
  }
  return {};
}

}  // namespace qlx
