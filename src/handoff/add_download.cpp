#include "handoff/add_download.h"

#include <string>

#include "base/member.h"
#include "base/reply.h"
#include "handoff/submit_handoff.h"

namespace qlx {
namespace {

bool has_web_url(const Message& message) {
  const auto url = string_member(message, "url");
  return url && (url->starts_with("http://") || url->starts_with("https://"));
}

}  // namespace

Result<Json> handle_add_download(const Message& message) {
  if (!has_web_url(message)) return error_reply("Only HTTP/HTTPS URLs are allowed");
  // The request is the message itself, written from its text.
  return submit_handoff(HandoffKind::kAddDownload, [&message](const ByteSink& sink) {
    return write_indented_message(message, sink);
  });
}

}  // namespace qlx
