// Whatever parses reads back as the same value from both written forms, and
// writing it again gives the same bytes.  Whatever does not parse fails with
// a positioned text.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "base/json.h"
#include "base/utf8.h"

namespace {

void require(bool holds) {
  if (!holds) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  auto value = qlx::parse_json(text);
  if (!value) {
    require(value.error().text.find(" at line ") != std::string::npos);
    return 0;
  }

  const std::string compact = qlx::to_compact_json(*value);
  require(qlx::is_valid_utf8(compact));
  auto from_compact = qlx::parse_json(compact);
  require(from_compact.has_value());
  require(*from_compact == *value);
  require(qlx::to_compact_json(*from_compact) == compact);

  const std::string indented = qlx::to_indented_json(*value);
  auto from_indented = qlx::parse_json(indented);
  require(from_indented.has_value());
  require(*from_indented == *value);
  require(qlx::to_indented_json(*from_indented) == indented);
  return 0;
}
