// Whatever parses reads back as the same value from both written forms, and
// writing it again gives the same bytes; checking it without a value tree
// agrees, and so do its indented form written from the text and its members
// looked up in the text.  Whatever does not parse fails with a positioned
// text, and checking it fails with the same.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "base/json.h"
#include "base/member.h"
#include "base/message.h"
#include "base/utf8.h"

namespace {

void require(bool holds) {
  if (!holds) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  auto value = qlx::parse_json(text);
  auto message = qlx::parse_message(text);
  if (!value) {
    require(value.error().text.find(" at line ") != std::string::npos);
    require(!message && message.error().text == value.error().text);
    return 0;
  }
  require(message.has_value());

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

  std::string from_text;
  require(qlx::write_indented_message(*message, [&from_text](std::string_view piece) {
            from_text += piece;
            return qlx::Result<void>();
          }).has_value());
  require(from_text == indented);
  if (value->is_object()) {
    require(message->members.list.size() == value->size());
    for (const auto& [name, member] : value->items()) {
      const qlx::JsonMember* found = message->members.find(name);
      require(found != nullptr);
      const auto text_of_value = message->members.value(*found);
      require(*qlx::parse_json(text_of_value) == member);
      require(qlx::string_member(*message, name) ==
              (member.is_string() ? std::optional(member.get<std::string>()) : std::nullopt));
      require(qlx::size_member(*message, name) == qlx::size_member(*value, name));
    }
  } else {
    require(message->members.list.empty());
  }
  return 0;
}
