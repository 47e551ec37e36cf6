#include <string>

#include <windows.h>

#include "platform/error.h"
#include "platform/utf16_windows.h"

namespace qlx {

Failure system_failure(std::int64_t code) {
  wchar_t* buffer = nullptr;
  const DWORD length = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, static_cast<DWORD>(code), 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
  std::wstring message = length > 0 && buffer != nullptr ? std::wstring(buffer, length) : L"";
  if (buffer != nullptr) LocalFree(buffer);
  while (!message.empty() && (message.back() == L' ' || message.back() == L'\r' ||
                              message.back() == L'\n' || message.back() == L'\t')) {
    message.pop_back();
  }
  std::string text = utf16_to_utf8(message);
  if (text.empty()) text = "Unknown error";
  return Failure{text + " (os error " + std::to_string(static_cast<DWORD>(code)) + ")"};
}

Failure last_system_failure() {
  return system_failure(GetLastError());
}

}  // namespace qlx
