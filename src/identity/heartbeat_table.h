#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace qlx {

/// The latest heartbeat of one browser, written with its fields in this order.
struct BrowserHeartbeatV2 {
  std::uint64_t timestamp_ms = 0;
  std::string extension_id;
  std::string extension_version;
  bool operator==(const BrowserHeartbeatV2&) const = default;
};

/// The per-browser heartbeat file in memory: entry name (normally a browser
/// key, compared byte for byte) to its record.
using HeartbeatTable = std::map<std::string, BrowserHeartbeatV2>;

/// Reads the per-browser file's text.  The top-level value is an object (only
/// JSON white space around it); each entry is either an object with exactly
/// one each of "timestamp_ms" (an integer 0..2^64-1 without fraction or
/// exponent), "extension_id" and "extension_version" (strings), other members
/// ignored, or an array of exactly those three values in that order; a later
/// entry of the same name wins.  Anything else, malformed text anywhere
/// included, gives nullopt: the caller starts afresh.
std::optional<HeartbeatTable> read_heartbeat_table(std::string_view text);

/// The file's text: indented by two spaces per level, line feeds, no final
/// line break; each entry an object of "timestamp_ms", "extension_id",
/// "extension_version" in this order; entries in byte order of their names.
std::string heartbeat_table_text(const HeartbeatTable& table);

}  // namespace qlx
