#include "check.h"

#include <chrono>
#include <cstddef>
#include <expected>
#include <future>
#include <optional>
#include <thread>

#include "base/json.h"
#include "base/member.h"
#include "base/reply.h"
#include "child_process/child_frame.h"
#include "handoff/request_id.h"
#include "host/dispatch.h"
#include "host/frame.h"
#include "store/data_dir.h"

namespace qlx::host_register {
namespace {

/// How long the host may take to answer the ping, and to exit once its input ends.
constexpr std::chrono::milliseconds kReplyLimit{2000};
/// What --check sends: a ping that names its sender, so that the heartbeat it
/// leaves is not taken for an extension's.
constexpr std::string_view kCheckPing = R"({"source":"qlx-host-register --check","type":"ping"})";

/// Which of Chromium's messages a fault leads to.
enum class BrowserError { kNone, kNotFound, kForbidden, kCommunication };

std::string_view error_text(BrowserError error) {
  switch (error) {
    case BrowserError::kNotFound:
      return "\"Specified native messaging host not found.\"";
    case BrowserError::kForbidden:
      return "\"Access to the specified native messaging host is forbidden.\"";
    case BrowserError::kCommunication:
      return "\"Error when communicating with the native messaging host.\"";
    case BrowserError::kNone:
      break;
  }
  return "none";
}

/// Why a browser cannot use the host.
struct Fault {
  std::string finding;
  BrowserError error;
  std::string fix;
};

/// At most `limit` bytes of `bytes`, with control bytes shown as "?".
std::string shown(std::string_view bytes, std::size_t limit = 200) {
  std::string text(bytes.substr(0, limit));
  for (char& c : text) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) c = '?';
  }
  if (bytes.size() > limit) text += "...";
  return text;
}

std::string register_command(BrowserFamily family) {
  return family == BrowserFamily::kFirefox
             ? "run qlx-host-register --firefox-extension ID (your add-on's id)"
             : "run qlx-host-register";
}

/// A manifest as the browser reads it: what the ping needs from it.
struct ManifestFacts {
  Path host;
  std::string caller;  // the first allowed origin or add-on id
};

/// Whether `text` is "chrome-extension://<id>/" with a Chromium extension id.
bool is_extension_origin(std::string_view text) {
  constexpr std::string_view kScheme = "chrome-extension://";
  return text.starts_with(kScheme) && text.ends_with("/") &&
         is_extension_id(text.substr(kScheme.size(), text.size() - kScheme.size() - 1));
}

/// The manifest's host and first caller, or the fault that makes the browser refuse it.
std::expected<ManifestFacts, Fault> read_manifest(BrowserFamily family, const Path& manifest) {
  const std::string where = "the manifest " + path_to_utf8(manifest);
  const std::string rewrite = register_command(family) + " to rewrite it";
  auto failed = [](std::string finding, BrowserError error, std::string fix) {
    return std::unexpected(Fault{std::move(finding), error, std::move(fix)});
  };
  auto text = read_file(manifest);
  if (!text) {
    return failed(where + " cannot be read: " + text.error().text, BrowserError::kNotFound,
                  rewrite);
  }
  auto parsed = parse_json(*text);
  if (!parsed) {
    return failed(where + " is not JSON: " + parsed.error().text, BrowserError::kNotFound, rewrite);
  }
  if (!parsed->is_object()) {
    return failed(where + " is not a JSON object", BrowserError::kNotFound, rewrite);
  }
  const std::string* name = string_member(*parsed, "name");
  if (name == nullptr || *name != kHostName) {
    return failed(where + (name ? " names \"" + *name + "\"" : " has no \"name\"") + ", not \"" +
                      std::string(kHostName) + "\"",
                  BrowserError::kNotFound, rewrite);
  }
  const std::string* type = string_member(*parsed, "type");
  if (type == nullptr || *type != "stdio") {
    return failed(
        where + " has " + (type ? "\"type\" \"" + *type + "\"" : "no \"type\"") + ", not \"stdio\"",
        BrowserError::kNotFound, rewrite);
  }
  const std::string* path = string_member(*parsed, "path");
  if (!path || path->empty()) {
    return failed(where + " has no \"path\"", BrowserError::kNotFound, rewrite);
  }
  ManifestFacts facts;
  facts.host = Path(std::u8string(path->begin(), path->end()));
  if (!facts.host.is_absolute()) {
    return failed(where + " gives the host as \"" + *path + "\", not an absolute path",
                  BrowserError::kNotFound, rewrite);
  }
  const bool firefox = family == BrowserFamily::kFirefox;
  const std::string list = firefox ? "allowed_extensions" : "allowed_origins";
  const auto allowed = parsed->find(list);
  if (allowed == parsed->end() || !allowed->is_array()) {
    return failed(where + " has no \"" + list + "\" list", BrowserError::kNotFound, rewrite);
  }
  for (const Json& entry : *allowed) {
    const bool good =
        entry.is_string() && (firefox ? is_addon_id(entry.get<std::string>())
                                      : is_extension_origin(entry.get<std::string>()));
    if (!good) {
      return failed(where + " lists " + to_compact_json(entry) + " in \"" + list + "\", not " +
                        (firefox ? "an add-on id" : "an origin \"chrome-extension://<id>/\""),
                    BrowserError::kNotFound, rewrite);
    }
  }
  if (allowed->empty()) {
    return failed(where + " lets no extension connect (\"" + list + "\" is empty)",
                  BrowserError::kForbidden, register_command(family) + " naming your extension");
  }
  facts.caller = allowed->front().get<std::string>();
  return facts;
}

/// Starts the host as the browser would, pings it and lets it end; the fault
/// found, if any.
std::optional<Fault> ping_host(BrowserFamily family, const Path& manifest,
                               const ManifestFacts& facts) {
  const std::string host = path_to_utf8(facts.host);
  const std::string reinstall = "reinstall QLX, or fix or replace " + host;
  ChildOptions options;
  options.program = facts.host;
  options.arguments = browser_arguments(family, manifest, facts.caller);
  options.working_dir = facts.host.parent_path();
  auto started = start_child(options);
  if (!started) {
    return Fault{"the host " + host + " cannot be started: " + started.error().text,
                 BrowserError::kCommunication, reinstall};
  }
  ChildProcess& child = *started;
  std::string errors;
  std::thread error_reader([&] { errors = read_child_errors(child); });
  // The reply is read on a thread of its own, so that a host that never
  // answers is given up after kReplyLimit; the thread then reads the rest of
  // stdout, so that a host that writes more is not blocked at its exit.
  std::promise<ChildFrame> replied;
  std::future<ChildFrame> reply_read = replied.get_future();
  std::thread output_reader([&] {
    replied.set_value(read_child_frame(child, kMaxReplyBytes));
    drain_child_output(child);
  });

  const std::string ping = frame_bytes(kCheckPing);
  (void)write_child_input(child, std::as_bytes(std::span(ping)));
  const bool in_time = reply_read.wait_for(kReplyLimit) == std::future_status::ready;
  if (!in_time) kill_child(child);
  const ChildFrame reply = reply_read.get();
  const std::string expected = to_compact_json(*handle_ping(Json::object()));
  std::optional<Fault> fault;
  if (reply.read == FrameRead::kTooLong) {
    fault = Fault{"the host " + host + " wrote something other than a reply first (\"" +
                      shown(reply.prefix) + "...\" announces a message of " +
                      std::to_string(reply.length) +
                      " bytes): it must write nothing on stdout but its replies",
                  BrowserError::kCommunication, reinstall};
  } else if (reply.read != FrameRead::kWhole) {
    fault = Fault{!in_time ? "the host " + host + " did not answer ping within 2 s"
                           : "the host " + host + " ended without answering ping",
                  BrowserError::kCommunication, reinstall};
  } else if (reply.body != expected) {
    fault =
        Fault{"the host " + host + " answered ping with " + shown(reply.body) + ", not " + expected,
              BrowserError::kCommunication, reinstall};
  }
  close_child_input(child);
  if (fault) kill_child(child);
  auto ended = wait_child_for(child, kReplyLimit);
  output_reader.join();
  error_reader.join();
  if (fault) return fault;
  if (ended && ended->end == ChildEnd::kKilled) {
    return Fault{"the host " + host + " did not exit within 2 s of the end of its input",
                 BrowserError::kCommunication, reinstall};
  }
  if (!ended || ended->code != 0) {
    return Fault{"the host " + host + " exited with " +
                     (ended ? "code " + std::to_string(ended->code) : ended.error().text) +
                     " at the end of its input, not 0",
                 BrowserError::kCommunication, reinstall};
  }
  if (!errors.empty()) {
    return Fault{"the host " + host + " wrote to stderr: \"" +
                     shown(errors.substr(0, errors.find('\n'))) + "\"",
                 BrowserError::kNone, reinstall};
  }
  return std::nullopt;
}

/// Whether the data directory can be created and a file in it written; the fault if not.
std::optional<Fault> check_data_dir() {
  // The host still answers ping then, so the browser shows nothing; the downloads fail.
  auto fault = [](std::string finding, std::string fix) {
    return Fault{std::move(finding) + ", so add_download and file transfers fail",
                 BrowserError::kNone, std::move(fix)};
  };
  auto dir = data_dir();
  if (!dir) {
    return fault("the data directory cannot be found: " + dir.error().text,
                 "give the user a local application-data folder (XDG_DATA_HOME or HOME)");
  }
  const std::string where = "the data directory " + path_to_utf8(*dir);
  const std::string fix = "make " + path_to_utf8(*dir) + " a folder that you can write";
  if (auto made = ensure_dir(*dir); !made) {
    return fault(where + " cannot be created: " + made.error().text, fix);
  }
  auto id = make_request_id();
  if (!id) return fault(where + " cannot be tried: " + id.error().text, fix);
  const Path probe = *dir / ("qlx-host-register-check-" + *id + ".tmp");
  auto written = write_file(probe, "check");
  (void)remove_file(probe);
  if (!written) return fault(where + " cannot be written: " + written.error().text, fix);
  return std::nullopt;
}

/// The fault that keeps the browser of `target` from the host, or where it
/// reaches it.  `registered` is set when the browser has a registration at all.
std::optional<Fault> check_browser(const BrowserTarget& target, const std::optional<Fault>& data,
                                   bool& registered, std::string& reached) {
  auto manifest = registered_manifest(target);
  registered = !manifest || manifest->has_value();
  if (!manifest) {
    return Fault{"the registration " + target.location + " is broken: " + manifest.error().text,
                 BrowserError::kNotFound, register_command(target.family)};
  }
  if (!*manifest) {
    return Fault{"nothing is registered at " + target.location, BrowserError::kNotFound,
                 register_command(target.family)};
  }
  auto facts = read_manifest(target.family, **manifest);
  if (!facts) return facts.error();
  const std::string host = path_to_utf8(facts->host);
  if (!path_exists(facts->host)) {
    return Fault{"the host " + host + " does not exist", BrowserError::kNotFound,
                 "reinstall QLX, or run qlx-host-register --host PATH with the host's path"};
  }
  if (!is_executable_file(facts->host)) {
    return Fault{"the host " + host + " is not an executable file", BrowserError::kCommunication,
                 "reinstall QLX, or make it an executable file (chmod +x on Linux)"};
  }
  if (auto ping = ping_host(target.family, **manifest, *facts)) return ping;
  if (data) return data;
  reached = path_to_utf8(**manifest) + " starts " + host;
  return std::nullopt;
}

}  // namespace

int check_browsers(std::span<const BrowserTarget> targets, std::ostream& out) {
  const std::optional<Fault> data = check_data_dir();
  bool any_registered = false;
  bool any_failed = false;
  for (const BrowserTarget& target : targets) {
    bool registered = false;
    std::string reached;
    const std::optional<Fault> fault = check_browser(target, data, registered, reached);
    any_registered = any_registered || registered;
    if (!fault) {
      out << target.browser << ": ok: " << reached << "\n";
      continue;
    }
    any_failed = any_failed || registered;
    out << target.browser << ": " << (registered ? "FAIL" : "not registered") << ": "
        << fault->finding << "; browser error: " << error_text(fault->error);
    out << "; fix: " << fault->fix << "\n";
  }
  out.flush();
  return any_registered && !any_failed ? 0 : 1;
}

}  // namespace qlx::host_register
