#include "handoff/add_download.h"

#include <string>

#include "base/reply.h"
#include "handoff/submit_handoff.h"

namespace qlx {
namespace {

bool has_web_url(const Json& message) {
  if (!message.is_object()) return false;
  const auto url = message.find("url");
  if (url == message.end() || !url->is_string()) return false;
  const auto& text = url->get_ref<const std::string&>();
  return text.starts_with("http://") || text.starts_with("https://");
}

}  // namespace

Result<Json> handle_add_download(const Json& message) {
  if (!has_web_url(message)) return error_reply("Only HTTP/HTTPS URLs are allowed");
  return submit_handoff(HandoffKind::kAddDownload, message);
}

}  // namespace qlx
