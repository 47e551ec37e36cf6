#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "base/json.h"
#include "base/message.h"

namespace qlx {

/// The text of the member `name` of `object`; nullptr when `object` is not an
/// object, has no such member, or the member is not a string.
const std::string* string_member(const Json& object, std::string_view name);

/// The text of a string member of `message`, or the empty text when the
/// member is missing or of another JSON type (also when `message` is no object).
std::string_view string_member_or_empty(const Json& message, std::string_view name);

/// The string member of `object` as a JSON string, or null when it is missing,
/// of another type, or `object` is no object.
Json string_member_or_null(const Json& object, std::string_view name);

/// The member as an unsigned 64-bit integer when it is a non-negative integer
/// (not 1024.0, not 1e3, not "12"); nullopt otherwise.
std::optional<std::uint64_t> size_member(const Json& object, std::string_view name);

/// The same lookups in a message, whose members are read from its text when
/// asked for: the member's value as parse_json() would give it.  A string
/// comes decoded, as a copy.
std::optional<std::string> string_member(const Message& message, std::string_view name);
std::string string_member_or_empty(const Message& message, std::string_view name);
Json string_member_or_null(const Message& message, std::string_view name);
std::optional<std::uint64_t> size_member(const Message& message, std::string_view name);

}  // namespace qlx
