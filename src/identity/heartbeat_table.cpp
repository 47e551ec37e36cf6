#include "identity/heartbeat_table.h"

#include <array>
#include <map>
#include <vector>

#include "base/json.h"

namespace qlx {
namespace {

// parse_json checks the whole text first; what follows walks text that is
// known to be well-formed JSON, to see what a value tree hides: the members of
// an object in their order, repeated names included.  It still checks every
// step, so that a text it did not expect ends the walk instead of overrunning.

constexpr std::size_t kBad = std::string_view::npos;

std::size_t skip_white_space(std::string_view text, std::size_t at) {
  while (at < text.size() &&
         (text[at] == ' ' || text[at] == '\t' || text[at] == '\n' || text[at] == '\r')) {
    ++at;
  }
  return at;
}

/// The end of the string that starts at `at` (on its opening quote), or kBad.
std::size_t skip_string(std::string_view text, std::size_t at) {
  if (at >= text.size() || text[at] != '"') return kBad;
  for (++at; at < text.size(); ++at) {
    if (text[at] == '\\') {
      ++at;
    } else if (text[at] == '"') {
      return at + 1;
    }
  }
  return kBad;
}

/// The end of the value that starts at `at`, or kBad.
std::size_t skip_value(std::string_view text, std::size_t at) {
  if (at >= text.size()) return kBad;
  if (text[at] == '"') return skip_string(text, at);
  if (text[at] == '{' || text[at] == '[') {
    int depth = 0;
    while (at < text.size()) {
      const char c = text[at];
      if (c == '"') {
        at = skip_string(text, at);
        if (at == kBad) return kBad;
        continue;
      }
      if (c == '{' || c == '[') ++depth;
      if (c == '}' || c == ']') --depth;
      ++at;
      if (depth == 0) return at;
    }
    return kBad;
  }
  const std::size_t start = at;
  while (at < text.size() && text[at] != ',' && text[at] != '}' && text[at] != ']' &&
         text[at] != ' ' && text[at] != '\t' && text[at] != '\n' && text[at] != '\r') {
    ++at;
  }
  return at == start ? kBad : at;
}

struct MemberText {
  std::string name;  // decoded
  std::string_view value;
};

/// The members of the object text `object`, in text order; nullopt when the
/// text is not an object as expected.
std::optional<std::vector<MemberText>> object_members(std::string_view object) {
  std::vector<MemberText> members;
  std::size_t at = skip_white_space(object, 0);
  if (at >= object.size() || object[at] != '{') return std::nullopt;
  at = skip_white_space(object, at + 1);
  if (at < object.size() && object[at] == '}') return members;
  for (;;) {
    const std::size_t name_end = skip_string(object, at);
    if (name_end == kBad) return std::nullopt;
    const std::string_view name_text = object.substr(at + 1, name_end - at - 2);
    std::string name;
    if (name_text.find('\\') == std::string_view::npos) {
      name = name_text;  // nothing to decode
    } else {
      auto decoded = parse_json(object.substr(at, name_end - at));
      if (!decoded || !decoded->is_string()) return std::nullopt;
      name = decoded->get<std::string>();
    }
    at = skip_white_space(object, name_end);
    if (at >= object.size() || object[at] != ':') return std::nullopt;
    at = skip_white_space(object, at + 1);
    const std::size_t value_end = skip_value(object, at);
    if (value_end == kBad) return std::nullopt;
    members.push_back({std::move(name), object.substr(at, value_end - at)});
    at = skip_white_space(object, value_end);
    if (at >= object.size()) return std::nullopt;
    if (object[at] == '}') return members;
    if (object[at] != ',') return std::nullopt;
    at = skip_white_space(object, at + 1);
  }
}

bool is_timestamp(const Json& value) {
  return value.is_number_unsigned();
}

std::optional<BrowserHeartbeatV2> heartbeat_of_array(const Json& value) {
  if (value.size() != 3 || !is_timestamp(value[0]) || !value[1].is_string() ||
      !value[2].is_string()) {
    return std::nullopt;
  }
  return BrowserHeartbeatV2{value[0].get<std::uint64_t>(), value[1].get<std::string>(),
                            value[2].get<std::string>()};
}

std::optional<BrowserHeartbeatV2> heartbeat_of_object(const Json& value, std::string_view text) {
  // The value tree keeps only the last of repeated names; a field given twice
  // is malformed, so count them in the text.
  const auto members = object_members(text);
  if (!members) return std::nullopt;
  std::array<int, 3> seen{};
  for (const MemberText& member : *members) {
    if (member.name == "timestamp_ms") ++seen[0];
    if (member.name == "extension_id") ++seen[1];
    if (member.name == "extension_version") ++seen[2];
  }
  if (seen != std::array<int, 3>{1, 1, 1}) return std::nullopt;
  const Json& timestamp = value["timestamp_ms"];
  const Json& id = value["extension_id"];
  const Json& version = value["extension_version"];
  if (!is_timestamp(timestamp) || !id.is_string() || !version.is_string()) return std::nullopt;
  return BrowserHeartbeatV2{timestamp.get<std::uint64_t>(), id.get<std::string>(),
                            version.get<std::string>()};
}

}  // namespace

std::optional<HeartbeatTable> read_heartbeat_table(std::string_view text) {
  // Only JSON white space may precede the object: no byte-order mark.
  if (text.starts_with("\xEF\xBB\xBF")) return std::nullopt;
  auto whole = parse_json(text);
  if (!whole || !whole->is_object()) return std::nullopt;
  auto entries = object_members(text);
  if (!entries) return std::nullopt;
  // The value tree holds the last entry of each name; an earlier entry of the
  // same name must be valid too, so it is parsed on its own.
  std::vector<bool> is_last(entries->size(), false);
  {
    std::map<std::string_view, std::size_t> last;
    for (std::size_t i = 0; i < entries->size(); ++i) last[(*entries)[i].name] = i;
    for (const auto& [name, index] : last) is_last[index] = true;
  }
  HeartbeatTable table;
  for (std::size_t i = 0; i < entries->size(); ++i) {
    MemberText& entry = (*entries)[i];
    Json replaced;
    if (!is_last[i]) {
      auto parsed = parse_json(entry.value);
      if (!parsed) return std::nullopt;
      replaced = std::move(*parsed);
    }
    const Json& value = is_last[i] ? (*whole)[entry.name] : replaced;
    std::optional<BrowserHeartbeatV2> heartbeat;
    if (value.is_object()) heartbeat = heartbeat_of_object(value, entry.value);
    if (value.is_array()) heartbeat = heartbeat_of_array(value);
    if (!heartbeat) return std::nullopt;
    table.insert_or_assign(std::move(entry.name), std::move(*heartbeat));
  }
  return table;
}

std::string heartbeat_table_text(const HeartbeatTable& table) {
  if (table.empty()) return "{}";
  std::string text = "{";
  const char* separator = "\n  ";
  for (const auto& [name, heartbeat] : table) {
    text += separator;
    separator = ",\n  ";
    append_json_string(text, name);
    text += ": {\n    \"timestamp_ms\": ";
    text += std::to_string(heartbeat.timestamp_ms);
    text += ",\n    \"extension_id\": ";
    append_json_string(text, heartbeat.extension_id);
    text += ",\n    \"extension_version\": ";
    append_json_string(text, heartbeat.extension_version);
    text += "\n  }";
  }
  text += "\n}";
  return text;
}

}  // namespace qlx
