#include <windows.h>

#include "platform/error.h"
#include "platform/fs.h"
#include "platform/utf16_windows.h"

namespace qlx {
namespace {

struct Handle {
  HANDLE value;
  explicit Handle(HANDLE h) : value(h) {}
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  ~Handle() {
    if (value != INVALID_HANDLE_VALUE) CloseHandle(value);
  }
};

HANDLE open_file(const Path& path, DWORD access, DWORD disposition) {
  return CreateFileW(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                     nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
}

Result<void> write_all_handle(HANDLE file, std::string_view bytes) {
  while (!bytes.empty()) {
    const DWORD want = bytes.size() > 0x40000000 ? 0x40000000 : static_cast<DWORD>(bytes.size());
    DWORD put = 0;
    if (!WriteFile(file, bytes.data(), want, &put, nullptr)) return fail(last_system_failure());
    if (put == 0) return fail("failed to write whole buffer");
    bytes.remove_prefix(put);
  }
  return {};
}

}  // namespace

CreateDirResult create_directory(const Path& path) {
  if (CreateDirectoryW(path.c_str(), nullptr)) return {CreateDirStatus::kCreated, {}};
  const DWORD code = GetLastError();
  return {code == ERROR_PATH_NOT_FOUND ? CreateDirStatus::kParentMissing : CreateDirStatus::kFailed,
          system_failure(code)};
}

bool path_exists(const Path& path) {
  // Opening with backup semantics follows links and works for directories too.
  Handle file(CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES,
                          FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                          OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  return file.value != INVALID_HANDLE_VALUE;
}

bool is_directory(const Path& path) {
  Handle file(CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES,
                          FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                          OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  if (file.value == INVALID_HANDLE_VALUE) return false;
  BY_HANDLE_FILE_INFORMATION info;
  return GetFileInformationByHandle(file.value, &info) &&
         (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

Result<std::uint64_t> file_size(const Path& path) {
  Handle file(CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES,
                          FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                          OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  if (file.value == INVALID_HANDLE_VALUE) return fail(last_system_failure());
  LARGE_INTEGER size;
  if (!GetFileSizeEx(file.value, &size)) return fail(last_system_failure());
  return static_cast<std::uint64_t>(size.QuadPart);
}

Result<void> write_file(const Path& path, std::string_view bytes) {
  Handle file(open_file(path, GENERIC_WRITE, CREATE_ALWAYS));
  if (file.value == INVALID_HANDLE_VALUE) return fail(last_system_failure());
  return write_all_handle(file.value, bytes);
}

Result<std::string> read_file(const Path& path) {
  Handle file(open_file(path, GENERIC_READ, OPEN_EXISTING));
  if (file.value == INVALID_HANDLE_VALUE) return fail(last_system_failure());
  std::string content;
  LARGE_INTEGER size;
  if (GetFileSizeEx(file.value, &size) && size.QuadPart > 0) {
    content.reserve(static_cast<std::size_t>(size.QuadPart));
  }
  char chunk[65536];
  for (;;) {
    DWORD got = 0;
    if (!ReadFile(file.value, chunk, sizeof chunk, &got, nullptr)) {
      return fail(last_system_failure());
    }
    if (got == 0) break;
    content.append(chunk, got);
  }
  return content;
}

Result<void> remove_file(const Path& path) {
  if (!DeleteFileW(path.c_str())) return fail(last_system_failure());
  return {};
}

AppendFile::~AppendFile() {
  if (native != -1) CloseHandle(reinterpret_cast<HANDLE>(native));
}

Result<AppendFile> open_for_append(const Path& path) {
  // FILE_APPEND_DATA without FILE_WRITE_DATA: every write lands at the end.
  const HANDLE file = open_file(path, FILE_APPEND_DATA | SYNCHRONIZE, OPEN_EXISTING);
  if (file == INVALID_HANDLE_VALUE) return fail(last_system_failure());
  return AppendFile(reinterpret_cast<std::intptr_t>(file));
}

Result<void> append_all(AppendFile& file, std::string_view bytes) {
  return write_all_handle(reinterpret_cast<HANDLE>(file.native), bytes);
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
