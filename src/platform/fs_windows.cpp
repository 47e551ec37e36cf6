#include <windows.h>

#include "platform/bounded_read.h"
#include "platform/error.h"
#include "platform/file_handle_windows.h"
#include "platform/fs.h"
#include "platform/held_file_windows.h"
#include "platform/utf16_windows.h"

namespace qlx {
namespace {

/// Opens a path for its attributes only: follows links and works for
/// directories too.
Handle open_attributes(const Path& path) {
  return Handle(CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES,
                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
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
  Handle file = open_attributes(path);
  if (!file.valid()) return false;
  BY_HANDLE_FILE_INFORMATION info;
  return GetFileInformationByHandle(file.value, &info) &&
         (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

Result<std::uint64_t> file_size(const Path& path) {
  Handle file = open_attributes(path);
  if (!file.valid()) return fail(last_system_failure());
  BY_HANDLE_FILE_INFORMATION info;
  if (!GetFileInformationByHandle(file.value, &info)) return fail(last_system_failure());
  if ((info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ||
      GetFileType(file.value) != FILE_TYPE_DISK) {
    return fail(kNotRegularFile);
  }
  return (static_cast<std::uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
}

Result<void> write_file(const Path& path, std::string_view bytes, WhenHeld when) {
  auto file = open_regular_file(path, GENERIC_WRITE, CREATE_ALWAYS, when);
  if (!file) return fail(std::move(file.error()));
  return write_all(file->handle.value, bytes);
}

Result<std::optional<std::string>> read_file_up_to(const Path& path, std::uint64_t max_bytes,
                                                   WhenHeld when) {
  auto file = open_regular_file(path, GENERIC_READ, OPEN_EXISTING, when);
  if (!file) return fail(std::move(file.error()));
  const HANDLE handle = file->handle.value;
  return read_bounded(file->size, max_bytes,
                      [handle](char* buffer, std::size_t room) -> Result<std::size_t> {
                        DWORD got = 0;
                        if (!ReadFile(handle, buffer, static_cast<DWORD>(room), &got, nullptr)) {
                          return fail(last_system_failure());
                        }
                        return static_cast<std::size_t>(got);
                      });
}

Result<void> remove_file(const Path& path, WhenHeld when) {
  const DWORD code = retry_while_held(
      when, [&]() -> DWORD { return DeleteFileW(path.c_str()) ? ERROR_SUCCESS : GetLastError(); });
  if (code != ERROR_SUCCESS) return fail(system_failure(code));
  return {};
}

AppendFile::~AppendFile() {
  if (native != -1) CloseHandle(reinterpret_cast<HANDLE>(native));
}

Result<AppendFile> open_for_append(const Path& path, WhenHeld when) {
  // FILE_APPEND_DATA without FILE_WRITE_DATA: every write lands at the end.
  auto file = open_regular_file(path, FILE_APPEND_DATA | SYNCHRONIZE, OPEN_EXISTING, when);
  if (!file) return fail(std::move(file.error()));
  return AppendFile(reinterpret_cast<std::intptr_t>(file->handle.release()));
}

Result<void> append_all(AppendFile& file, std::string_view bytes) {
  return write_all(reinterpret_cast<HANDLE>(file.native), bytes);
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
