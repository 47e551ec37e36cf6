#include "identity/heartbeats.h"

#include <chrono>

#include "base/member.h"
#include "base/utf8.h"
#include "identity/heartbeat_table.h"
#include "platform/clock.h"
#include "platform/file_lock.h"
#include "platform/rewrite_file.h"
#include "store/data_dir.h"
#include "store/join_path.h"

namespace qlx {
namespace {

// Several hosts share the two files.  Each read-modify-write happens under an
// exclusive lock on a file of its own, so that no host reads another's half
// written file (and resets the table) or writes over an entry it never saw.
// The heartbeat files themselves are never locked: the download manager
// reads them whenever it likes.
constexpr std::string_view kLockFile = "extension-heartbeats.lock";
constexpr std::string_view kLegacyFile = "extension-heartbeat.json";
constexpr std::string_view kPerBrowserFile = "extension-heartbeats-v2.json";
constexpr auto kLockTimeout = std::chrono::milliseconds(1000);
/// A per-browser file larger than this breaks the reading rules: it is
/// written anew without being read whole.
constexpr std::uint64_t kMaxPerBrowserFile = 1024 * 1024;

/// The table of the per-browser file's content: empty when the file was
/// missing (created empty), is larger than the bound (nullopt), is not UTF-8
/// or breaks the reading rules.
HeartbeatTable table_of(const std::optional<std::string>& text) {
  if (!text || !is_valid_utf8(*text)) return {};
  auto table = read_heartbeat_table(*text);
  if (!table) return {};
  return std::move(*table);
}

}  // namespace

HeartbeatFacts heartbeat_facts(const Message& message) {
  HeartbeatFacts facts;
  facts.source = string_member(message, "source");
  facts.extension_id =
      string_member(message, "extension_id").value_or(std::string(kQlxExtensionId));
  facts.extension_version = string_member(message, "extension_version");
  return facts;
}

std::string legacy_heartbeat_text(const HeartbeatFacts& facts, std::optional<BrowserKey> browser,
                                  std::uint64_t timestamp_ms) {
  Json record = Json::object();
  record["browser_id"] = browser ? Json(browser_key_text(*browser)) : Json(nullptr);
  record["extension_id"] = facts.extension_id;
  record["extension_version"] =
      facts.extension_version ? Json(*facts.extension_version) : Json(nullptr);
  record["source"] = facts.source ? Json(*facts.source) : Json(nullptr);
  record["timestamp_ms"] = timestamp_ms;
  return to_indented_json(record);
}

void record_heartbeats_in(const Path& dir, const Message& message,
                          std::optional<BrowserKey> browser, std::uint64_t (*now_ms)()) {
  const HeartbeatFacts facts = heartbeat_facts(message);
  // Another host holding the lock throughout: skip this message's step.  A
  // lock file that cannot be used at all (a directory, a FIFO, no
  // permission) would stop every update for good: write without the lock.
  const LockAttempt lock = lock_file(join_path(dir, kLockFile), kLockTimeout);
  if (lock.outcome == LockOutcome::kHeldElsewhere) return;
  const std::uint64_t timestamp = now_ms();
  if (!rewrite_file(join_path(dir, kLegacyFile),
                    legacy_heartbeat_text(facts, browser, timestamp))) {
    return;
  }
  if (!browser) return;
  // Read and rewritten through one handle.  A file that exists but cannot be
  // opened or read (an I/O error, refused permission, another program's share
  // mode) keeps its entries: it is left alone for this message.
  (void)edit_file(join_path(dir, kPerBrowserFile), kMaxPerBrowserFile,
                  [&](const std::optional<std::string>& text) {
                    HeartbeatTable table = table_of(text);
                    table.insert_or_assign(
                        std::string(browser_key_text(*browser)),
                        BrowserHeartbeatV2{timestamp, facts.extension_id,
                                           facts.extension_version.value_or("legacy")});
                    return heartbeat_table_text(table);
                  });
}

void record_heartbeats(const Message& message, std::optional<BrowserKey> browser) {
  auto dir = data_dir();
  if (!dir) return;
  if (!ensure_dir(*dir)) return;
  record_heartbeats_in(*dir, message, browser, &unix_time_ms);
}

}  // namespace qlx
