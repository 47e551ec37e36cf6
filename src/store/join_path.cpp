#include "store/join_path.h"

namespace qlx {

Path join_path(const Path& base, std::string_view name) {
  Path::string_type joined = base.native();
  // "/" separates on both platforms, "\" only on Windows (where it is preferred).
  if (joined.empty() ||
      (joined.back() != Path::preferred_separator && joined.back() != Path::value_type('/'))) {
    joined += Path::preferred_separator;
  }
  for (const char c : name) joined += static_cast<Path::value_type>(c);
  return Path(std::move(joined));
}

}  // namespace qlx
