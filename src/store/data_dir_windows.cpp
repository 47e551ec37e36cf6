// Temporary, like the test harness's provisional environment: the folder named
// by %LOCALAPPDATA%, until the store module looks up the known folder.
#include <windows.h>

#include <string>

#include "platform/fs.h"

namespace qlx {

Result<Path> local_data_folder() {
  std::wstring folder(32768, L'\0');
  const DWORD length =
      GetEnvironmentVariableW(L"LOCALAPPDATA", folder.data(), static_cast<DWORD>(folder.size()));
  if (length == 0 || length >= folder.size()) return fail("No local data directory");
  folder.resize(length);
  return Path(folder);
}

}  // namespace qlx
