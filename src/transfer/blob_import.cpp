#include "transfer/blob_import.h"

#include <string>

#include "base/member.h"
#include "platform/fs.h"
#include "transfer/transfer_files.h"

namespace qlx {

Result<Json> end_transfer(const Message& message, PollPolicy policy) {
  auto id = validate_transfer_id(string_member_or_empty(message, "transfer_id"));
  if (!id) return fail(std::move(id.error()));
  auto partial = partial_file_path(*id);
  if (!partial) return fail(std::move(partial.error()));
  auto metadata = metadata_file_path(*id);
  if (!metadata) return fail(std::move(metadata.error()));
  // Never begun, already handed over, or a blob_begin that failed half-way.
  if (!path_exists(*partial) || !path_exists(*metadata)) {
    return fail("browser transfer was not started");
  }

  auto text = read_file(*metadata, WhenHeld::kWaitBriefly);
  if (!text) return fail(std::move(text.error()));
  auto record = parse_json(*text);
  if (!record) return fail(std::move(record.error()));

  if (const auto expected = size_member(*record, kExpectedSizeMember)) {
    auto received = qlx::file_size(*partial);
    if (!received) return fail(std::move(received.error()));
    if (*received != *expected) {
      return fail("browser transfer size mismatch: expected " + std::to_string(*expected) +
                  " bytes, received " + std::to_string(*received));
    }
  }

  Json request = Json::object();
  request["content_type"] = string_member_or_null(*record, kContentTypeMember);
  request["filename"] = string_member_or_null(*record, kFilenameMember);
  request["referrer"] = string_member_or_null(*record, kReferrerMember);
  request["source"] = string_member_or_null(message, "source");
  request["source_url"] = string_member_or_null(*record, kSourceUrlMember);
  request["temp_path"] = path_to_utf8(*partial);
  request["type"] = "import_browser_file";

  // From the moment the request file exists the partial file belongs to the
  // download manager: the transfer is no longer receiving.  A request that
  // the host withdrew itself was never taken: its partial file has no owner
  // left.
  const Path& metadata_path = *metadata;
  const Path& partial_path = *partial;
  return submit_handoff(
      HandoffKind::kImportBrowserFile, request,
      [&metadata_path] { (void)remove_file(metadata_path, WhenHeld::kWaitBriefly); }, policy,
      [&partial_path] { (void)remove_file(partial_path, WhenHeld::kWaitBriefly); });
}

Result<Json> handle_blob_end(const Message& message) {
  return end_transfer(message, kHandoffPolls);
}

}  // namespace qlx
