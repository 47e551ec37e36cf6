#include "base/reply.h"

namespace qlx {

Json error_reply(std::string_view text) {
  Json reply = Json::object();
  reply["error"] = text;
  reply["ok"] = false;
  return reply;
}

}  // namespace qlx
