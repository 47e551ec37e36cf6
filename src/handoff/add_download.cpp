#include "handoff/add_download.h"

#include <string>

#include "base/member.h"
#include "base/reply.h"
#include "handoff/submit_handoff.h"

namespace qlx {
namespace {

bool has_web_url(const Json& message) {
  const std::string* url = string_member(message, "url");
  return url != nullptr && (url->starts_with("http://") || url->starts_with("https://"));
}

}  // namespace

Result<Json> handle_add_download(const Json& message) {
  if (!has_web_url(message)) return error_reply("Only HTTP/HTTPS URLs are allowed");
  return submit_handoff(HandoffKind::kAddDownload, message);
}

}  // namespace qlx
