#include "handoff/open_app.h"

#include "handoff/launch_manager.h"

namespace qlx {

Result<Json> handle_open_app(const Message&) {
  Json reply = Json::object();
  reply["launched"] = launch_manager();
  reply["ok"] = true;
  return reply;
}

}  // namespace qlx
