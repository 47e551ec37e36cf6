#include "host/dispatch.h"

#include <array>
#include <utility>

#include "base/member.h"
#include "base/names.h"
#include "handoff/add_download.h"
#include "handoff/open_app.h"
#include "host/version.h"
#include "transfer/blob_import.h"
#include "transfer/blob_reception.h"

namespace qlx {

Result<Json> handle_ping(const Message&) {
  Json reply = Json::object();
  reply["host"] = kHostName;
  reply["ok"] = true;
  reply["version"] = kHostVersion;
  return reply;
}

Result<Json> dispatch_message(const Message& message) {
  static constexpr std::array<std::pair<std::string_view, Handler>, 6> kHandlers{{
      {"ping", &handle_ping},
      {"open_app", &handle_open_app},
      {"add_download", &handle_add_download},
      {"blob_begin", &handle_blob_begin},
      {"blob_chunk", &handle_blob_chunk},
      {"blob_end", &handle_blob_end},
  }};
  if (const auto type = string_member(message, "type")) {
    for (const auto& [type_name, handler] : kHandlers) {
      if (*type == type_name) return handler(message);
    }
  }
  return error_reply("Unknown message type");
}

}  // namespace qlx
