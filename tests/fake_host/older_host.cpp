// A host of another version for qlx-host-register --check: it answers every
// message with the ping reply of a host 1.0.6, and ends with its input, as a
// sound host of that version does.
#include "base/json.h"
#include "base/names.h"
#include "host/channel.h"
#include "platform/stdio.h"

int main() {
  qlx::prepare_standard_streams();
  qlx::Json reply = qlx::Json::object();
  reply["host"] = std::string(qlx::kHostName);
  reply["ok"] = true;
  reply["version"] = "1.0.6";
  for (;;) {
    auto message = qlx::read_message();
    if (!message || !*message || !qlx::write_reply(reply)) return 0;
  }
}
