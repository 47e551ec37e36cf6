// The native messaging host: the browser starts it, talks to it over stdin and
// stdout, and closes stdin when the extension disconnects.  Command-line
// arguments (the caller's origin, a window handle) are deliberately ignored.
#include "host/channel.h"
#include "host/dispatch.h"
#include "identity/ancestor_browser.h"
#include "identity/heartbeats.h"
#include "platform/heap.h"
#include "platform/stdio.h"

namespace qlx {
namespace {

/// Writes the last reply of a host that is ending on a failure.  If that write
/// fails too there is nobody left to tell.
void write_final_error(const std::string& text) {
  (void)write_reply(error_reply(text));
}

/// The host's whole life after start-up: read, record, dispatch, reply, until
/// the browser closes stdin (success) or something fails.
Result<void> run_host() {
  // Browser identification runs here, once, before the first message.
  const auto ancestry_key = detect_ancestor_browser();
  for (;;) {
    auto message = read_message();
    if (!message) return fail(std::move(message.error()));
    if (!*message) return {};
    // Heartbeat recording runs here for every parsed message, before dispatch.
    record_heartbeats(**message, resolve_browser_key(**message, ancestry_key));
    auto reply = dispatch_message(**message);
    if (!reply) return fail(std::move(reply.error()));
    if (auto written = write_reply(*reply); !written) return fail(std::move(written.error()));
  }
}

}  // namespace
}  // namespace qlx

int main() {
  qlx::prepare_standard_streams();
  qlx::keep_large_blocks_in_heap();
  if (auto ended = qlx::run_host(); !ended) qlx::write_final_error(ended.error().text);
  return 0;
}
