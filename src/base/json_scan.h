#pragma once
// Walking a JSON text that check_json() accepted, without building its value:
// where a value ends, and the members of an object in the order that the
// value tree would hold them.

#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>
#include <string_view>

namespace qlx {

/// One member of an object in a checked text.
struct JsonMember {
  std::uint32_t name_at;  // the name's bytes: an offset into the text, or (kDecodedName set) into
                          // decoded_names
  std::uint32_t name_size;
  std::uint32_t value_at;  // the value's first byte in the text
  std::uint32_t value_size;
};

/// name_at's mark for a name that holds escapes and was decoded.
inline constexpr std::uint32_t kDecodedName = std::uint32_t{1} << 31;

/// The members of one object of a checked text, as parse_json() would hold
/// them: in ascending byte order of their (decoded) names, each name once,
/// with the value of its last occurrence.  Views into `text`, which must
/// outlive them.  A deque, so that a wide object never holds its list twice
/// while the list grows.
struct JsonMembers {
  std::string_view text;
  std::deque<JsonMember> list;
  std::string decoded_names;  // the names that hold escapes, decoded, one after another
  std::size_t end = 0;        // one past the object's closing "}"

  std::string_view name(const JsonMember& member) const;
  std::string_view value(const JsonMember& member) const;
  /// The member called `name`, or nullptr.
  const JsonMember* find(std::string_view name) const;
};

/// One past the last byte of the value that starts at `at` in a checked text.
std::size_t json_value_end(std::string_view text, std::size_t at);

/// The members of the object whose "{" is at `at` in a checked text shorter
/// than 2 GiB.
JsonMembers json_object_members(std::string_view text, std::size_t at);

/// Lists a member of an object of `members.text` at the end, in text order:
/// its name's bytes lie in [name_at, name_end) (between the quotes), its
/// value's in [value_at, value_end).  Once all are listed, order_members().
void append_member(JsonMembers& members, std::size_t name_at, std::size_t name_end,
                   std::size_t value_at, std::size_t value_end);

/// Puts the listed members in name order and keeps the last of each name.
void order_members(JsonMembers& members);

/// Where the text's value begins: its first byte that is not white space.
std::size_t json_value_start(std::string_view text, std::size_t at = 0);

}  // namespace qlx
