#include <windows.h>

#include "platform/error.h"
#include "platform/fs.h"
#include "platform/held_file_windows.h"
#include "platform/native_handle.h"
#include "platform/utf16_windows.h"

namespace qlx {
namespace {

/// Opens a path for its attributes only: follows links and works for
/// directories too.
NativeHandle open_attributes(const Path& path) {
  return NativeHandle(reinterpret_cast<std::intptr_t>(CreateFileW(
      path.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
      nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr)));
}

HANDLE handle_of(const NativeHandle& file) {
  return reinterpret_cast<HANDLE>(file.value);
}

}  // namespace

CreateDirResult create_directory(const Path& path) {
  if (CreateDirectoryW(path.c_str(), nullptr)) return {CreateDirStatus::kCreated, {}};
  const DWORD code = GetLastError();
  return {code == ERROR_PATH_NOT_FOUND ? CreateDirStatus::kParentMissing : CreateDirStatus::kFailed,
          system_failure(code)};
}

bool path_exists(const Path& path) {
  return open_attributes(path).valid();
}

bool is_directory(const Path& path) {
  const NativeHandle file = open_attributes(path);
  if (!file.valid()) return false;
  BY_HANDLE_FILE_INFORMATION info;
  return GetFileInformationByHandle(handle_of(file), &info) &&
         (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

Result<std::uint64_t> file_size(const Path& path) {
  const NativeHandle file = open_attributes(path);
  if (!file.valid()) return fail(last_system_failure());
  BY_HANDLE_FILE_INFORMATION info;
  if (!GetFileInformationByHandle(handle_of(file), &info)) return fail(last_system_failure());
  if ((info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ||
      GetFileType(handle_of(file)) != FILE_TYPE_DISK) {
    return fail(kNotRegularFile);
  }
  return (static_cast<std::uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
}

Result<void> remove_file(const Path& path, WhenHeld when) {
  const DWORD code = retry_while_held(
      when, [&]() -> DWORD { return DeleteFileW(path.c_str()) ? ERROR_SUCCESS : GetLastError(); });
  if (code != ERROR_SUCCESS) return fail(system_failure(code));
  return {};
}

Result<void> rename_file(const Path& from, const Path& to, WhenHeld when) {
  // Neither MOVEFILE_REPLACE_EXISTING nor MOVEFILE_COPY_ALLOWED: a rename
  // within the volume, never over another file, never a copy that could be
  // seen half made.
  const DWORD code = retry_while_held(when, [&]() -> DWORD {
    return MoveFileExW(from.c_str(), to.c_str(), 0) ? ERROR_SUCCESS : GetLastError();
  });
  if (code != ERROR_SUCCESS) return fail(system_failure(code));
  return {};
}

std::string path_to_utf8(const Path& path) {
  return utf16_to_utf8(path.native());
}

Result<Path> current_executable_path() {
  std::wstring buffer(MAX_PATH, L'\0');
  for (;;) {
    const DWORD got = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (got == 0) return fail(last_system_failure());
    if (got < buffer.size()) {
      buffer.resize(got);
      return Path(buffer);
    }
    if (buffer.size() >= 32768) return fail(system_failure(ERROR_INSUFFICIENT_BUFFER));
    buffer.resize(buffer.size() * 2);
  }
}

}  // namespace qlx
