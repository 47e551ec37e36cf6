#include "store/json_file.h"

namespace qlx {

Result<void> write_json_file(const Path& path, const Json& value, WhenHeld when) {
  return write_file_from(
      path, [&value](const ByteSink& sink) { return write_indented_json(value, sink); }, when);
}

}  // namespace qlx
