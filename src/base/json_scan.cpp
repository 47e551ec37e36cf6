#include "base/json_scan.h"

#include <algorithm>
#include <cstring>

#include "base/json.h"
#include "base/json_text.h"

namespace qlx {
namespace {

bool is_space(char c) {
  return c == ' ' || c == '\n' || c == '\r' || c == '\t';
}

/// `p` is just past an opening quote; returns the position just past the
/// closing one.
const char* string_end(const char* p, const char* end) {
  for (;;) {
    p = json_text::find_reader_stop(p, end);
    if (*p == '"') return p + 1;
    // An escape's second byte is never a quote that ends the string; the
    // hexadecimal digits of "\u" escapes are no stop at all.
    p += *p == '\\' ? 2 : 1;
  }
}

const char* value_end(const char* p, const char* end) {
  if (*p == '"') return string_end(p + 1, end);
  if (*p != '[' && *p != '{') {
    while (p != end && *p != ',' && *p != ']' && *p != '}' && !is_space(*p)) ++p;
    return p;
  }
  std::size_t depth = 0;
  for (;;) {
    const char c = *p++;
    if (c == '"') {
      p = string_end(p, end);
    } else if (c == '[' || c == '{') {
      ++depth;
    } else if ((c == ']' || c == '}') && --depth == 0) {
      return p;
    }
  }
}

const char* skip_space(const char* p, const char* end) {
  while (p != end && is_space(*p)) ++p;
  return p;
}

}  // namespace

std::string_view JsonMembers::name(const JsonMember& member) const {
  if ((member.name_at & kDecodedName) != 0) {
    return std::string_view(decoded_names).substr(member.name_at & ~kDecodedName, member.name_size);
  }
  return text.substr(member.name_at, member.name_size);
}

std::string_view JsonMembers::value(const JsonMember& member) const {
  return text.substr(member.value_at, member.value_size);
}

const JsonMember* JsonMembers::find(std::string_view wanted) const {
  const auto found = std::lower_bound(
      list.begin(), list.end(), wanted,
      [this](const JsonMember& member, std::string_view key) { return name(member) < key; });
  if (found == list.end() || name(*found) != wanted) return nullptr;
  return &*found;
}

std::size_t json_value_end(std::string_view text, std::size_t at) {
  const char* begin = text.data();
  return static_cast<std::size_t>(value_end(begin + at, begin + text.size()) - begin);
}

std::size_t json_value_start(std::string_view text, std::size_t at) {
  const char* begin = text.data();
  return static_cast<std::size_t>(skip_space(begin + at, begin + text.size()) - begin);
}

JsonMembers json_object_members(std::string_view text, std::size_t at) {
  JsonMembers members{text, {}, {}, 0};
  const char* begin = text.data();
  const char* end = begin + text.size();
  const auto offset = [begin](const char* q) { return static_cast<std::uint32_t>(q - begin); };
  const char* p = skip_space(begin + at + 1, end);
  if (*p == '}') {
    members.end = offset(p + 1);
    return members;
  }
  for (;;) {
    // On the opening quote of a name.
    const char* name = p + 1;
    p = string_end(name, end);
    const char* name_end = p - 1;
    p = skip_space(skip_space(p, end) + 1, end);  // past the colon
    const char* value = p;
    p = value_end(p, end);
    append_member(members, offset(name), offset(name_end), offset(value), offset(p));
    p = skip_space(p, end);
    if (*p == '}') break;
    p = skip_space(p + 1, end);  // past the comma
  }
  members.end = offset(p + 1);
  order_members(members);
  return members;
}

void append_member(JsonMembers& members, std::size_t name_at, std::size_t name_end,
                   std::size_t value_at, std::size_t value_end) {
  JsonMember member{
      static_cast<std::uint32_t>(name_at), static_cast<std::uint32_t>(name_end - name_at),
      static_cast<std::uint32_t>(value_at), static_cast<std::uint32_t>(value_end - value_at)};
  const char* name = members.text.data() + name_at;
  if (std::memchr(name, '\\', member.name_size) != nullptr) {
    // A name with escapes is compared and written as it reads.
    auto decoded = parse_json(std::string_view(name - 1, member.name_size + 2));
    const auto& bytes = decoded->get_ref<const std::string&>();
    member.name_at = static_cast<std::uint32_t>(members.decoded_names.size()) | kDecodedName;
    member.name_size = static_cast<std::uint32_t>(bytes.size());
    members.decoded_names += bytes;
  }
  members.list.push_back(member);
}

void order_members(JsonMembers& members) {
  // In name order, and of each name only the last: the reader's "last one
  // wins".  Equal names keep their text order, the last being the largest.
  std::sort(members.list.begin(), members.list.end(),
            [&members](const JsonMember& a, const JsonMember& b) {
              const auto a_name = members.name(a);
              const auto b_name = members.name(b);
              return a_name != b_name ? a_name < b_name : a.value_at < b.value_at;
            });
  auto kept = members.list.begin();
  for (auto next = members.list.begin(); next != members.list.end(); ++next) {
    const auto following = next + 1;
    if (following != members.list.end() && members.name(*following) == members.name(*next)) {
      continue;
    }
    *kept++ = *next;
  }
  members.list.erase(kept, members.list.end());
}

}  // namespace qlx
