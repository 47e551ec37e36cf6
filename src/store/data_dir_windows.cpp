// Temporary: the known folder FOLDERID_LocalAppData.
#include <knownfolders.h>
#include <shlobj.h>
#include <windows.h>

#include "platform/fs.h"

namespace qlx {

Result<Path> local_data_folder() {
  PWSTR folder = nullptr;
  const HRESULT got = SHGetKnownFolderPath(FOLDERID_LocalAppData, 0, nullptr, &folder);
  Path path;
  if (got == S_OK && folder != nullptr) path = Path(std::wstring(folder, lstrlenW(folder)));
  CoTaskMemFree(folder);
  if (got != S_OK) return fail("No local data directory");
  return path;
}

}  // namespace qlx
