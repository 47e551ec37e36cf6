#include "check_ping.h"

#include <algorithm>
#include <chrono>
#include <future>
#include <optional>
#include <span>
#include <thread>
#include <utility>

#include "base/json.h"
#include "base/member.h"
#include "base/names.h"
#include "base/reply.h"
#include "child_process/child_frame.h"
#include "host/dispatch.h"
#include "host/frame.h"
#include "host/version.h"

namespace qlx::host_register {
namespace {

/// How long the host may take to answer the ping, and to exit once its input ends.
constexpr std::chrono::milliseconds kReplyLimit{2000};
/// What --check sends: a ping that names its sender, so that the heartbeat it
/// leaves is not taken for an extension's.
constexpr std::string_view kCheckPing = R"({"source":"qlx-host-register --check","type":"ping"})";

/// Printable ASCII of a sane length: a version that can be shown as it is.
bool is_shown_version(std::string_view text) {
  return !text.empty() && text.size() <= 64 &&
         std::ranges::all_of(text, [](char c) { return c > 0x20 && c < 0x7f; });
}

/// The version of a well-formed ping reply from a host of another version
/// than this tool's: an object whose "ok" is true, whose "host" is
/// "com.velmont.qlx" and whose "version" is another one than kHostVersion.
/// Members that a later host may add are let be.
std::optional<std::string> other_version(std::string_view body) {
  auto reply = parse_json(body);
  if (!reply || !reply->is_object()) return std::nullopt;
  const auto ok = reply->find("ok");
  const std::string* host = string_member(*reply, "host");
  const std::string* version = string_member(*reply, "version");
  if (ok == reply->end() || *ok != true || host == nullptr || *host != kHostName ||
      version == nullptr || *version == kHostVersion || !is_shown_version(*version)) {
    return std::nullopt;
  }
  return *version;
}

}  // namespace

std::expected<std::string, Fault> ping_host(BrowserFamily family, const Path& manifest,
                                            const ManifestFacts& facts) {
  const std::string host = path_to_utf8(facts.host);
  const std::string reinstall = "reinstall QLX, or fix or replace " + host;
  ChildOptions options;
  options.program = facts.host;
  options.arguments = browser_arguments(family, manifest, facts.caller);
  options.working_dir = facts.host.parent_path();
  auto started = start_child(options);
  if (!started) {
    return std::unexpected(Fault{"the host " + host + " cannot be started: " + started.error().text,
                                 BrowserError::kCommunication, reinstall});
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
  const std::string expected = to_compact_json(*handle_ping(*parse_message("{}")));
  std::optional<Fault> fault;
  std::optional<std::string> version;
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
  } else {
    version = reply.body == expected ? std::optional<std::string>(kHostVersion)
                                     : other_version(reply.body);
    if (!version) {
      fault = Fault{
          "the host " + host + " answered ping with " + shown(reply.body) + ", not " + expected,
          BrowserError::kCommunication, reinstall};
    }
  }
  close_child_input(child);
  if (fault) kill_child(child);
  auto ended = wait_child_for(child, kReplyLimit);
  output_reader.join();
  error_reader.join();
  if (fault) return std::unexpected(std::move(*fault));
  if (ended && ended->end == ChildEnd::kKilled) {
    return std::unexpected(
        Fault{"the host " + host + " did not exit within 2 s of the end of its input",
              BrowserError::kCommunication, reinstall});
  }
  if (!ended || ended->code != 0) {
    return std::unexpected(
        Fault{"the host " + host + " exited with " +
                  (ended ? "code " + std::to_string(ended->code) : ended.error().text) +
                  " at the end of its input, not 0",
              BrowserError::kCommunication, reinstall});
  }
  if (!errors.empty()) {
    return std::unexpected(Fault{"the host " + host + " wrote to stderr: \"" +
                                     shown(errors.substr(0, errors.find('\n'))) + "\"",
                                 BrowserError::kNone, reinstall});
  }
  return *version;
}

}  // namespace qlx::host_register
