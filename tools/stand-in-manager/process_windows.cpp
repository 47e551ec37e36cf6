#include <windows.h>

#include <shellapi.h>

#include "platform/fs.h"
#include "process.h"

namespace stand_in {
namespace {

std::string utf8(const wchar_t* text) {
  return qlx::path_to_utf8(qlx::Path(text));
}

HANDLE standard_handle(int which) {
  return GetStdHandle(which == 0   ? STD_INPUT_HANDLE
                      : which == 1 ? STD_OUTPUT_HANDLE
                                   : STD_ERROR_HANDLE);
}

}  // namespace

std::vector<std::string> arguments(int, char**) {
  std::vector<std::string> out;
  int count = 0;
  LPWSTR* words = CommandLineToArgvW(GetCommandLineW(), &count);
  if (words == nullptr) return out;
  for (int i = 0; i < count; ++i) out.push_back(utf8(words[i]));
  LocalFree(words);
  return out;
}

std::string describe_standard_stream(int which) {
  HANDLE handle = standard_handle(which);
  if (handle == nullptr || handle == INVALID_HANDLE_VALUE) return "closed";
  switch (GetFileType(handle)) {
    case FILE_TYPE_CHAR: {
      DWORD mode = 0;
      return GetConsoleMode(handle, &mode) ? "console" : "null";
    }
    case FILE_TYPE_PIPE:
      return "pipe";
    case FILE_TYPE_DISK:
      return "file";
    default:
      return "unknown";
  }
}

qlx::Json platform_facts() {
  qlx::Json facts = qlx::Json::object();
  facts["command_line"] = utf8(GetCommandLineW());
  return facts;
}

long process_id() {
  return static_cast<long>(GetCurrentProcessId());
}

void write_standard_output(std::string_view bytes) {
  HANDLE out = standard_handle(1);
  while (!bytes.empty()) {
    DWORD put = 0;
    if (!WriteFile(out, bytes.data(), static_cast<DWORD>(bytes.size()), &put, nullptr) ||
        put == 0) {
      return;
    }
    bytes.remove_prefix(put);
  }
}

std::size_t drain_standard_input(std::size_t limit) {
  HANDLE in = standard_handle(0);
  std::size_t total = 0;
  char buffer[4096];
  while (total < limit) {
    DWORD got = 0;
    if (!ReadFile(in, buffer, sizeof buffer, &got, nullptr) || got == 0) break;
    total += got;
  }
  return total;
}

}  // namespace stand_in
