// The process environment block is what the system's own lookups read (the
// known-folder path expands variables from it); the C runtime keeps a copy
// of its own for getenv.  Both are changed alike.
#include <cstdlib>
#include <vector>

#include <windows.h>

#include "platform/utf16_windows.h"
#include "support/scoped_env.h"

namespace qlx::testing_support {

std::optional<std::string> get_env(const std::string& name) {
  const std::wstring wide_name = utf8_to_utf16(name);
  std::vector<wchar_t> buffer(256);
  for (;;) {
    SetLastError(ERROR_SUCCESS);
    const DWORD length = GetEnvironmentVariableW(wide_name.c_str(), buffer.data(),
                                                 static_cast<DWORD>(buffer.size()));
    if (length == 0) {
      if (GetLastError() == ERROR_ENVVAR_NOT_FOUND) return std::nullopt;
      return std::string();
    }
    if (length < buffer.size()) return utf16_to_utf8(std::wstring_view(buffer.data(), length));
    buffer.resize(length);
  }
}

void set_env(const std::string& name, const std::optional<std::string>& value) {
  const std::wstring wide_name = utf8_to_utf16(name);
  if (value) {
    const std::wstring wide_value = utf8_to_utf16(*value);
    // The runtime cannot hold an empty value ("" removes the variable, from
    // the block too), so the block is set after it.
    _wputenv_s(wide_name.c_str(), wide_value.c_str());
    SetEnvironmentVariableW(wide_name.c_str(), wide_value.c_str());
  } else {
    _wputenv_s(wide_name.c_str(), L"");
    SetEnvironmentVariableW(wide_name.c_str(), nullptr);
  }
}

}  // namespace qlx::testing_support
