#include "base/member.h"

#include <cstring>
#include <utility>

namespace qlx {
namespace {

/// A non-negative integer value (not 1024.0, not 1e3, not "12").
std::optional<std::uint64_t> size_of(const Json& value) {
  if (value.is_number_unsigned()) return value.get<std::uint64_t>();
  // "-0" is read as a signed integer; it is still the integer 0.
  if (value.is_number_integer() && value.get<std::int64_t>() >= 0) {
    return static_cast<std::uint64_t>(value.get<std::int64_t>());
  }
  return std::nullopt;
}

/// The value of a message's member when it is a string, number, boolean or
/// null; nullopt when it is missing, an array or an object (which no lookup
/// wants, and which are never built).
std::optional<Json> scalar_member(const Message& message, std::string_view name) {
  const JsonMember* member = message.members.find(name);
  if (member == nullptr) return std::nullopt;
  const std::string_view text = message.members.value(*member);
  if (text.front() == '[' || text.front() == '{') return std::nullopt;
  if (text.front() == '"' && std::memchr(text.data(), '\\', text.size()) == nullptr) {
    return Json(std::string(text.substr(1, text.size() - 2)));
  }
  return *parse_json(text);
}

}  // namespace

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
  return size_of(*member);
}

std::optional<std::string> string_member(const Message& message, std::string_view name) {
  auto value = scalar_member(message, name);
  if (!value || !value->is_string()) return std::nullopt;
  return std::move(value->get_ref<std::string&>());
}

std::string string_member_or_empty(const Message& message, std::string_view name) {
  auto text = string_member(message, name);
  return text ? std::move(*text) : std::string();
}

Json string_member_or_null(const Message& message, std::string_view name) {
  auto text = string_member(message, name);
  return text ? Json(std::move(*text)) : Json(nullptr);
}

std::optional<std::uint64_t> size_member(const Message& message, std::string_view name) {
  const auto value = scalar_member(message, name);
  return value ? size_of(*value) : std::nullopt;
}

}  // namespace qlx
