#include "base/member.h"

namespace qlx {

const std::string* string_member(const Json& object, std::string_view name) {
  if (!object.is_object()) return nullptr;
  const auto member = object.find(name);
  if (member == object.end() || !member->is_string()) return nullptr;
  return &member->get_ref<const std::string&>();
}

std::string_view string_member_or_empty(const Json& message, std::string_view name) {
  const std::string* text = string_member(message, name);
  return text != nullptr ? std::string_view(*text) : std::string_view();
}

Json string_member_or_null(const Json& object, std::string_view name) {
  const std::string* text = string_member(object, name);
  return text != nullptr ? Json(*text) : Json(nullptr);
}

std::optional<std::uint64_t> size_member(const Json& object, std::string_view name) {
  if (!object.is_object()) return std::nullopt;
  const auto member = object.find(name);
  if (member == object.end()) return std::nullopt;
  if (member->is_number_unsigned()) return member->get<std::uint64_t>();
  // "-0" is read as a signed integer; it is still the integer 0.
  if (member->is_number_integer() && member->get<std::int64_t>() >= 0) {
    return static_cast<std::uint64_t>(member->get<std::int64_t>());
  }
  return std::nullopt;
}

}  // namespace qlx
