#include <windows.h>

#include <shlobj.h>

#include <string>

#include "platform/known_folder.h"

namespace qlx {
namespace {

// FOLDERID_LocalAppData, spelt out so that no GUID library is needed.
constexpr GUID kLocalAppData = {
    0xF1B32785, 0x6FBA, 0x4FCF, {0x9D, 0x55, 0x7B, 0x8E, 0x7F, 0x15, 0x70, 0x91}};

}  // namespace

Result<Path> local_app_data_folder() {
  PWSTR buffer = nullptr;
  const HRESULT result = SHGetKnownFolderPath(kLocalAppData, 0, nullptr, &buffer);
  std::wstring folder;
  if (result == S_OK && buffer != nullptr) folder.assign(buffer, lstrlenW(buffer));
  // The shell may hand out a buffer even when it fails; it is ours to free.
  CoTaskMemFree(buffer);
  if (result != S_OK || folder.empty()) return fail("No local data directory");
  return Path(std::move(folder));
}

}  // namespace qlx
