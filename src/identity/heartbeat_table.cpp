#include "identity/heartbeat_table.h"

#include <string_view>

#include "base/json.h"

namespace qlx {
namespace {

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

std::optional<BrowserHeartbeatV2> heartbeat_of_object(const Json& value) {
  const auto timestamp = value.find("timestamp_ms");
  const auto id = value.find("extension_id");
  const auto version = value.find("extension_version");
  if (timestamp == value.end() || id == value.end() || version == value.end()) {
    return std::nullopt;
  }
  if (!is_timestamp(*timestamp) || !id->is_string() || !version->is_string()) return std::nullopt;
  return BrowserHeartbeatV2{timestamp->get<std::uint64_t>(), id->get<std::string>(),
                            version->get<std::string>()};
}

std::optional<BrowserHeartbeatV2> heartbeat_of(const Json& value) {
  if (value.is_object()) return heartbeat_of_object(value);
  if (value.is_array()) return heartbeat_of_array(value);
  return std::nullopt;
}

bool is_field_name(std::string_view name) {
  return name == "timestamp_ms" || name == "extension_id" || name == "extension_version";
}

}  // namespace

std::optional<HeartbeatTable> read_heartbeat_table(std::string_view text) {
  // Only JSON white space may precede the object: no byte-order mark.
  if (text.starts_with("\xEF\xBB\xBF")) return std::nullopt;
  // The value tree keeps only the last of repeated names.  An entry given
  // twice must be valid both times (the later one wins), and a field given
  // twice within an entry is malformed.
  bool repeats_valid = true;
  auto whole = parse_json(text, [&repeats_valid](const RepeatedMember& member) {
    if (member.depth == 1 && !heartbeat_of(member.replaced)) repeats_valid = false;
    if (member.depth == 2 && is_field_name(member.name)) repeats_valid = false;
  });
  if (!whole || !whole->is_object() || !repeats_valid) return std::nullopt;
  HeartbeatTable table;
  for (const auto& [name, value] : whole->items()) {
    auto heartbeat = heartbeat_of(value);
    if (!heartbeat) return std::nullopt;
    table.insert_or_assign(name, std::move(*heartbeat));
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
