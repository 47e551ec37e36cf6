// STOPGAP for the transfer branch until the inbox handoff lands on main: no
// manager start ("launched" false), a counter instead of a random request id.
// Removed on merge.
#include <atomic>
#include <string>
#include <thread>

#include "handoff/submit_handoff.h"
#include "platform/fs.h"
#include "store/data_dir.h"

namespace qlx {

Result<Json> submit_handoff(HandoffKind kind, const Json& body,
                            const std::function<void()>& after_request_written, PollPolicy policy) {
  static std::atomic<int> counter{0};
  const std::string id = "00000000-0000-4000-8000-" + std::to_string(100000000000 + ++counter);
  auto inbox = inbox_dir();
  if (!inbox) return fail(inbox.error());
  auto results = inbox_results_dir();
  if (!results) return fail(results.error());
  if (auto made = ensure_dir(*inbox); !made) return fail(made.error());
  if (auto made = ensure_dir(*results); !made) return fail(made.error());
  const Path request = *inbox / (id + ".json");
  const Path result = *results / (id + ".json");
  if (kind == HandoffKind::kAddDownload) (void)remove_file(result);
  if (auto written = write_file(request, to_indented_json(body)); !written)
    return fail(written.error());
  if (after_request_written) after_request_written();
  const bool launched = false;
  for (int poll = 0; poll < policy.polls; ++poll) {
    if (path_exists(result)) {
      auto text = read_file(result);
      if (!text) return fail(text.error());
      (void)remove_file(result);
      auto value = parse_json(*text);
      Json reply;
      if (value) {
        reply = *value;
      } else {
        reply = Json::object();
        reply["error"] = kind == HandoffKind::kAddDownload
                             ? "QLX returned an unreadable handoff result"
                             : "QLX returned an unreadable import result";
        reply["ok"] = false;
      }
      if (reply.is_object()) reply["launched"] = launched;
      return reply;
    }
    std::this_thread::sleep_for(policy.period);
  }
  (void)remove_file(request);
  Json reply = Json::object();
  reply["error"] = "QLX did not confirm the browser-generated file within 35 seconds";
  reply["ok"] = false;
  return reply;
}

}  // namespace qlx
