#include "handoff/submit_handoff.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "base/reply.h"
#include "base/utf8.h"
#include "handoff/launch_manager.h"
#include "handoff/request_id.h"
#include "platform/clock.h"
#include "platform/dir_entries.h"
#include "platform/fs.h"
#include "platform/held_file.h"
#include "platform/sleep.h"
#include "store/abandoned_files.h"
#include "store/data_dir.h"

namespace qlx {
namespace {

/// The reply for a result file that holds no readable JSON value.
Json unreadable_result_reply(HandoffKind kind) {
  return error_reply(kind == HandoffKind::kAddDownload
                         ? "QLX returned an unreadable handoff result"
                         : "QLX returned an unreadable import result");
}

/// The reply when no result came; only the download kind says "launched".
Json timeout_reply(HandoffKind kind, bool launched) {
  if (kind == HandoffKind::kImportBrowserFile) {
    return error_reply("QLX did not confirm the browser-generated file within 35 seconds");
  }
  Json reply = error_reply(
      "QLX did not confirm the download within 35 seconds. The browser download was left "
      "untouched.");
  reply["launched"] = launched;
  return reply;
}

/// The reply for a result that the browser could not take.
Json too_large_result_reply(HandoffKind kind, bool launched) {
  Json reply = error_reply(kind == HandoffKind::kAddDownload
                               ? "QLX returned a handoff result too large for the browser"
                               : "QLX returned an import result too large for the browser");
  reply["launched"] = launched;
  return reply;
}

/// Reads, deletes and parses the result file.  A file that cannot be read or
/// is not UTF-8 fails and stays in place.  A result whose reply would be
/// longer than the browser takes (a file over kMaxFileRead is not even read
/// whole) is answered with the kind's too-large reply.
Result<Json> take_result(HandoffKind kind, const Path& result_path, bool launched) {
  auto text = read_file_up_to(result_path, kMaxFileRead, WhenHeld::kWaitBriefly);
  if (!text) return fail(std::move(text.error()));
  if (!*text) {
    (void)remove_file(result_path, WhenHeld::kWaitBriefly);
    return too_large_result_reply(kind, launched);
  }
  if (!is_valid_utf8(**text)) return fail("stream did not contain valid UTF-8");
  (void)remove_file(result_path, WhenHeld::kWaitBriefly);
  auto parsed = parse_json(**text);
  Json reply = parsed ? std::move(*parsed) : unreadable_result_reply(kind);
  if (reply.is_object()) reply["launched"] = launched;
  if (to_compact_json(reply).size() > kMaxReplyBytes) return too_large_result_reply(kind, launched);
  return reply;
}

/// The name of a request file while it is being written in the staging
/// folder: not ".json", so that not even a manager that looked there by
/// mistake would take it.
constexpr std::string_view kStagedSuffix = ".tmp";

/// Removes the staged requests that a host killed while writing them left in
/// `staging`, once they are a day old.  Only names of the host's own form
/// ("<request id>.tmp") are touched.
void remove_abandoned_staged_requests(const Path& staging, std::uint64_t now_ms) {
  remove_abandoned_files(
      staging, now_ms,
      {.last_change = [&staging](const Path& name) -> std::optional<std::uint64_t> {
         if (name.extension() != kStagedSuffix || !is_request_id(path_to_utf8(name.stem()))) {
           return std::nullopt;
         }
         auto changed = modified_time_ms(staging / name);
         return changed ? std::optional(*changed) : std::nullopt;
       },
       .remove = [&staging](const Path& name) { (void)remove_file(staging / name); }});
}

/// Writes the request file under its staging name and then renames it into
/// the inbox, so that a request file in the inbox is always whole: a host
/// killed before the rename leaves nothing there.  When either step fails,
/// the staged file goes and the failure is returned.
Result<void> place_request(const Path& staged, const Path& request, const ByteProducer& body) {
  auto placed = write_file_from(staged, body);
  if (placed) placed = rename_file(staged, request, WhenHeld::kWaitBriefly);
  if (!placed) (void)remove_file(staged, WhenHeld::kWaitBriefly);
  return placed;
}

}  // namespace

Result<Json> submit_handoff(HandoffKind kind, const ByteProducer& body,
                            const std::function<void()>& after_request_written, PollPolicy policy,
                            const std::function<void()>& after_request_withdrawn) {
  auto request_id = make_request_id();
  if (!request_id) return fail(std::move(request_id.error()));
  auto inbox = inbox_dir();
  if (!inbox) return fail(std::move(inbox.error()));
  auto results = inbox_results_dir();
  if (!results) return fail(std::move(results.error()));
  auto staging = inbox_staging_dir();
  if (!staging) return fail(std::move(staging.error()));
  if (auto made = ensure_dir(*inbox); !made) return fail(std::move(made.error()));
  if (auto made = ensure_dir(*results); !made) return fail(std::move(made.error()));
  if (auto made = ensure_dir(*staging); !made) return fail(std::move(made.error()));
  remove_abandoned_staged_requests(*staging, unix_time_ms());

  const std::string file_name = *request_id + ".json";
  const Path request_path = *inbox / file_name;
  const Path result_path = *results / file_name;
  const Path staged_path = *staging / (*request_id + std::string(kStagedSuffix));
  // A download's result file of the same name can only be stale.
  if (kind == HandoffKind::kAddDownload) (void)remove_file(result_path, WhenHeld::kWaitBriefly);

  if (auto placed = place_request(staged_path, request_path, body); !placed) {
    return fail(std::move(placed.error()));
  }
  if (after_request_written) after_request_written();
  const bool launched = launch_manager();

  // Polls counted, not time measured: the first one at once, then one after
  // each pause.  A result file that its writer (or a scanner) still holds
  // is not there yet.
  for (int poll = 0; poll < policy.polls; ++poll) {
    if (file_presence(result_path) == Presence::kPresent) {
      return take_result(kind, result_path, launched);
    }
    sleep_for(policy.period);
  }
  // Given up: withdraw the request (the manager may have taken it already).
  if (remove_file(request_path, WhenHeld::kWaitBriefly) && after_request_withdrawn) {
    after_request_withdrawn();
  }
  return timeout_reply(kind, launched);
}

Result<Json> submit_handoff(HandoffKind kind, const Json& body,
                            const std::function<void()>& after_request_written, PollPolicy policy,
                            const std::function<void()>& after_request_withdrawn) {
  return submit_handoff(
      kind, [&body](const ByteSink& sink) { return write_indented_json(body, sink); },
      after_request_written, policy, after_request_withdrawn);
}

}  // namespace qlx
