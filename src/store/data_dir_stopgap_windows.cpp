// STOPGAP until the data directory lands on main: %LOCALAPPDATA%.  Removed
// on merge.
#include <cstdlib>

#include "core/failure.h"
#include "platform/fs.h"

namespace qlx {

Result<Path> stopgap_local_app_data() {
  if (const wchar_t* local = _wgetenv(L"LOCALAPPDATA"); local && *local) return Path(local);
  return fail("No local data directory");
}

}  // namespace qlx
