#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "base/json.h"
#include "base/message.h"
#include "base/names.h"
#include "identity/browser_key.h"
#include "platform/fs.h"

namespace qlx {

/// What a heartbeat records of one message: its string members "source",
/// "extension_id" and "extension_version" (another JSON type counts as
/// missing; messages that are not objects have no members).
struct HeartbeatFacts {
  std::optional<std::string> source;
  std::string extension_id;  // kQlxExtensionId when missing
  std::optional<std::string> extension_version;
};
HeartbeatFacts heartbeat_facts(const Message& message);

/// The legacy file's text: the five members "browser_id", "extension_id",
/// "extension_version", "source" (null when absent) and "timestamp_ms".
std::string legacy_heartbeat_text(const HeartbeatFacts& facts, std::optional<BrowserKey> browser,
                                  std::uint64_t timestamp_ms);

/// Records the message in the data directory's heartbeat files, best effort:
/// every failure is swallowed and the caller carries on as if it had worked.
/// Creates the data directory when missing; skipped when there is none.
void record_heartbeats(const Message& message, std::optional<BrowserKey> browser);

/// The recording itself, in the directory `dir` (which must exist) with the
/// clock `now_ms`.  Holding the heartbeat lock of `dir` (at most about a
/// second is waited for it, else nothing is written): reads the clock once;
/// rewrites "extension-heartbeat.json" in place; when that worked and
/// `browser` is known, reads "extension-heartbeats-v2.json" (starting afresh
/// when it is missing, over 1 MiB, not UTF-8 or malformed; left alone when it
/// exists but cannot be opened or read), puts the browser's entry ("legacy"
/// when the message has no version) and rewrites it in place.  Both files
/// parse at every instant (see rewrite_file()).
void record_heartbeats_in(const Path& dir, const Message& message,
                          std::optional<BrowserKey> browser, std::uint64_t (*now_ms)());

}  // namespace qlx
