#include "transfer/blob_reception.h"

#include "base/member.h"
#include "platform/clock.h"
#include "platform/fs.h"
#include "store/data_dir.h"
#include "store/json_file.h"
#include "transfer/abandoned_transfers.h"
#include "transfer/base64.h"
#include "transfer/transfer_files.h"

namespace qlx {

Result<Json> handle_blob_begin(const Message& message) {
  auto id = validate_transfer_id(string_member_or_empty(message, "transfer_id"));
  if (!id) return fail(std::move(id.error()));
  auto dir = browser_transfers_dir();
  if (!dir) return fail(std::move(dir.error()));
  if (auto made = ensure_dir(*dir); !made) return fail(std::move(made.error()));
  remove_abandoned_transfers(*dir, unix_time_ms());
  auto partial = partial_file_path(*id);
  if (!partial) return fail(std::move(partial.error()));
  auto metadata = metadata_file_path(*id);
  if (!metadata) return fail(std::move(metadata.error()));

  // A partial file without its metadata file was handed over: it is the
  // download manager's until the manager takes it away.
  if (path_exists(*partial) && !path_exists(*metadata)) {
    return fail("browser transfer was already handed over");
  }
  // A reused id of an open transfer starts again from nothing.  The metadata
  // file comes before the partial file, and goes only once the partial file
  // is gone: a host that dies or fails half-way leaves an id that can be
  // begun again, never a partial file that looks handed over.
  if (remove_file(*partial) || !path_exists(*partial)) (void)remove_file(*metadata);

  Json record = Json::object();
  record[kContentTypeMember] = string_member_or_null(message, "content_type");
  const auto size = size_member(message, "size");
  record[kExpectedSizeMember] = size ? Json(*size) : Json(nullptr);
  record[kFilenameMember] = string_member_or_null(message, "filename");
  record[kReferrerMember] = string_member_or_null(message, "referrer");
  record[kSourceUrlMember] = string_member_or_null(message, "source_url");
  if (auto written = write_json_file(*metadata, record, WhenHeld::kWaitBriefly); !written) {
    return fail(std::move(written.error()));
  }
  if (auto created = write_file(*partial, {}, WhenHeld::kWaitBriefly); !created) {
    return fail(std::move(created.error()));
  }

  Json reply = Json::object();
  reply["ok"] = true;
  reply["transfer_id"] = std::move(*id);
  return reply;
}

Result<Json> handle_blob_chunk(const Message& message) {
  auto id = validate_transfer_id(string_member_or_empty(message, "transfer_id"));
  if (!id) return fail(std::move(id.error()));
  const std::string text = string_member_or_empty(message, "data_base64");
  if (text.size() > kMaxChunkBase64) return fail("browser transfer chunk is too large");
  auto bytes = decode_base64(text);
  if (!bytes) return fail("invalid browser transfer chunk: " + bytes.error().text);

  auto partial = partial_file_path(*id);
  if (!partial) return fail(std::move(partial.error()));
  // Never creates the file: a chunk for an id that was never begun gets the
  // system's file-not-found text.
  auto file = open_for_append(*partial, WhenHeld::kWaitBriefly);
  if (!file) return fail(std::move(file.error()));
  // Once blob_end has handed the partial file to the download manager (its
  // metadata file is gone), the file is the manager's: appending would
  // corrupt the file it imports.
  auto metadata = metadata_file_path(*id);
  if (!metadata) return fail(std::move(metadata.error()));
  if (!path_exists(*metadata)) return fail("browser transfer was not started");
  if (auto appended = append_all(*file, *bytes); !appended)
    return fail(std::move(appended.error()));

  Json reply = Json::object();
  reply["ok"] = true;
  reply["received"] = static_cast<std::uint64_t>(bytes->size());
  return reply;
}

}  // namespace qlx
