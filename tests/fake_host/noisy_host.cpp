// A broken host for qlx-host-register --check: it prints a greeting on stdout
// before it answers like the real host, the way a host built with a stray
// debug print does.  The browser takes the greeting for a frame's length.
#include <string_view>

#include "host/channel.h"
#include "host/dispatch.h"
#include "platform/stdio.h"

int main() {
  qlx::prepare_standard_streams();
  constexpr std::string_view kGreeting = "QLX host starting\n";
  (void)qlx::write_standard_output(std::as_bytes(std::span(kGreeting)));
  for (;;) {
    auto message = qlx::read_message();
    if (!message || !*message) return 0;
    auto reply = qlx::dispatch_message(**message);
    if (!reply || !qlx::write_reply(*reply)) return 0;
  }
}
