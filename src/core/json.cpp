// Stand-in until the strict reader and writers land: delegates to nlohmann.
#include "core/json.h"

namespace qlx {

Result<Json> parse_json(std::string_view text) {
  try {
    return Json::parse(text);
  } catch (const std::exception& e) {
    return fail(e.what());
  }
}

std::string to_compact_json(const Json& value) {
  return value.dump();
}

std::string to_indented_json(const Json& value) {
  return value.dump(2);
}

void append_json_string(std::string& out, std::string_view text) {
  out += Json(text).dump();
}

bool is_valid_utf8(std::string_view bytes) {
  try {
    (void)Json(std::string(bytes)).dump();
    return true;
  } catch (const std::exception&) {
    return false;
  }
}

}  // namespace qlx
