// Peak resident memory of the real host while it hands one add_download of
// 2 MiB (the inbound limit) to the download manager, per message shape: the
// shapes whose value tree or whose indented request file costs the most per
// byte of the frame.  Each host is started over pipes with a scratch data
// directory, gets the one message, and this driver plays the download
// manager: it waits for the request file in the inbox and answers it at once.
// Once the reply is read, the host's peak resident set (VmHWM in
// /proc/<pid>/status; wait4's figure would count this driver's own pages,
// which the child shares until exec) is taken, and the host is ended.  An
// idle host (one ping) is measured the same way.  Hosts run in interleaved
// rounds; the table gives each host's largest figure over the rounds.
//
//   request_memory_driver [-n ROUNDS] [HOST...]   (default: the host beside this driver)
#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <span>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "child_process/child_frame.h"
#include "child_process/child_process.h"
#include "host/channel.h"
#include "host/frame.h"
#include "platform/fs.h"

namespace {

namespace fs = std::filesystem;

fs::path scratch;  // the hosts' data folder, removed on every way out

[[noreturn]] void die(const std::string& what) {
  if (!scratch.empty()) fs::remove_all(scratch);
  std::fprintf(stderr, "request_memory_driver: %s\n", what.c_str());
  std::exit(1);
}

constexpr std::string_view kHead =
    R"({"type":"add_download","url":"https://example.com/f.zip","p":)";

/// kHead, `open`, then items separated by commas as long as the message stays
/// within the inbound limit, then `close` and "}".
std::string message_of(const std::string& open, const std::string& close,
                       const std::function<std::string(int)>& item) {
  std::string text = std::string(kHead) + open;
  for (int i = 0;; ++i) {
    const std::string next = item(i);
    if (text.size() + next.size() + 1 + close.size() + 1 > qlx::kMaxMessageBytes) break;
    if (i != 0) text.push_back(',');
    text += next;
  }
  return text + close + "}";
}

/// "\"<prefix><i>\":0"
std::string member_named(std::string_view prefix, int i) {
  std::string member = "\"";
  member += prefix;
  member += std::to_string(i);
  member += "\":0";
  return member;
}

struct Shape {
  const char* name;
  std::string message;  // empty: a ping (the idle host)
};

std::vector<Shape> shapes() {
  // The message object is the first level: 125 arrays around the bottom one
  // make 126.
  const std::string deep_open = std::string(124, '[') + "[";
  const std::string deep_close = std::string(125, ']');
  const std::string escapes = [] {
    std::string text;
    for (int i = 0; text.size() < 60'000; ++i) {
      text += std::array<const char*, 6>{"\\n", "\\\"", "\\\\", "\\u0001", "\\t", "\\u001f"}[i % 6];
    }
    return "\"" + text + "\"";
  }();
  const std::array<const char*, 5> numbers{"-9223372036854775808", "1.7976931348623157e+308", "0.1",
                                           "18446744073709551615", "-1.5e-7"};
  return {
      {"idle (one ping)", ""},
      {"deep: 126 levels, [0,0,...] at the bottom",
       message_of(deep_open, deep_close, [](int) { return std::string("0"); })},
      {"wide arrays [[],[],...]", message_of("[", "]", [](int) { return std::string("[]"); })},
      {"small objects [{},{},...]", message_of("[", "]", [](int) { return std::string("{}"); })},
      {"empty strings [\"\",\"\",...]",
       message_of("[", "]", [](int) { return std::string("\"\""); })},
      {"wide object {\"0\":0,\"1\":0,...}",
       message_of("{", "}", [](int i) { return member_named("", i); })},
      {"one name repeated {\"\":0,\"\":0,...}",
       message_of("{", "}", [](int) { return std::string("\"\":0"); })},
      {"members of the message itself",
       message_of("0,", "", [](int i) { return member_named("m", i); })},
      {"strings of escapes", message_of("[", "]", [&escapes](int) { return escapes; })},
      {"numbers [-9223372036854775808,...]",
       message_of("[", "]", [&numbers](int i) { return std::string(numbers[i % 5]); })},
  };
}

/// The host's peak resident set so far, in KiB.
long peak_rss_kib(std::uint64_t pid) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  for (std::string line; std::getline(status, line);) {
    if (line.starts_with("VmHWM:")) return std::strtol(line.c_str() + 6, nullptr, 10);
  }
  die("no VmHWM for the host");
}

/// The first request file in `inbox`, once there is one.
fs::path wait_for_request(const fs::path& inbox, qlx::ChildProcess& host) {
  for (;;) {
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(inbox, error)) {
      if (entry.path().extension() == ".json") return entry.path();
    }
    if (!qlx::child_running(host)) die("the host ended before its request");
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
}

struct Measured {
  long peak_kib = 0;
  std::uintmax_t request_bytes = 0;
};

/// One host, one message: its peak resident set, and the size of its request file.
Measured run_once(const fs::path& host_path, const Shape& shape) {
  fs::remove_all(scratch);
  const fs::path data = scratch / "Velmont" / "QLX";
  qlx::ChildOptions options;
  options.program = host_path;
  options.env = {{"XDG_DATA_HOME", scratch.string()}};
  auto host = qlx::start_child(options);
  if (!host) die("cannot start " + host_path.string() + ": " + host.error().text);
  const std::string frame =
      qlx::frame_bytes(shape.message.empty() ? R"({"type":"ping"})" : shape.message);
  if (!qlx::write_child_input(*host, std::as_bytes(std::span(frame))))
    die("the host took no frame");

  Measured measured;
  if (!shape.message.empty()) {
    // As a download manager answers: the result written aside, then renamed.
    const fs::path request = wait_for_request(data / "inbox", *host);
    const fs::path result = data / "inbox-results" / request.filename();
    { std::ofstream(fs::path(result).concat(".writing"), std::ios::binary) << R"({"ok": true})"; }
    fs::rename(fs::path(result).concat(".writing"), result);
  }
  const qlx::ChildFrame reply = qlx::read_child_frame(*host);
  if (reply.read != qlx::FrameRead::kWhole) die("no reply from " + host_path.string());
  if (!shape.message.empty() && reply.body != R"({"launched":false,"ok":true})") {
    die("unexpected reply " + reply.body);
  }
  const auto pid = qlx::child_process_id(*host);
  if (!pid) die("no process id");
  measured.peak_kib = peak_rss_kib(*pid);
  std::error_code error;
  for (const auto& entry : fs::directory_iterator(data / "inbox", error)) {
    measured.request_bytes = std::max(measured.request_bytes, fs::file_size(entry.path()));
  }
  qlx::close_child_input(*host);
  qlx::drain_child_output(*host);
  const auto code = qlx::wait_child(*host);
  if (!code || *code != 0) die(host_path.string() + " did not exit with 0");
  if (const std::string errors = qlx::read_child_errors(*host); !errors.empty()) {
    die(host_path.string() + " wrote to stderr: " + errors);
  }
  fs::remove_all(scratch);
  return measured;
}

}  // namespace

int main(int argc, char** argv) {
  int rounds = 3;
  std::vector<fs::path> hosts;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg == "-n" && i + 1 < argc) {
      rounds = std::atoi(argv[++i]);
    } else if (arg.starts_with("-")) {
      die("usage: request_memory_driver [-n ROUNDS] [HOST...]");
    } else {
      hosts.push_back(fs::absolute(arg));
    }
  }
  if (rounds < 1) die("-n takes a positive number");
  if (hosts.empty()) {
    auto self = qlx::current_executable_path();
    if (!self) die(self.error().text);
    hosts.push_back(self->parent_path() / "qlx-native-host");
  }
  std::random_device random;
  scratch = fs::temp_directory_path() / ("qlx-request-memory-" + std::to_string(random()));

  const std::vector<Shape> all = shapes();
  // peaks[shape][host]: the largest over the rounds.
  std::vector<std::vector<Measured>> peaks(all.size(), std::vector<Measured>(hosts.size()));
  for (int round = 0; round < rounds; ++round) {
    for (std::size_t s = 0; s < all.size(); ++s) {
      for (std::size_t k = 0; k < hosts.size(); ++k) {
        const std::size_t h = (k + static_cast<std::size_t>(round)) % hosts.size();
        const Measured m = run_once(hosts[h], all[s]);
        peaks[s][h].peak_kib = std::max(peaks[s][h].peak_kib, m.peak_kib);
        peaks[s][h].request_bytes = std::max(peaks[s][h].request_bytes, m.request_bytes);
      }
    }
  }

  std::printf("peak resident memory of one add_download, largest of %d rounds\n", rounds);
  for (std::size_t h = 0; h < hosts.size(); ++h) {
    std::printf("\nhost %zu: %s\n", h + 1, hosts[h].c_str());
    std::printf("%-44s %9s %11s %10s %7s %12s\n", "shape", "frame", "request", "peak RSS",
                "x frame", "above idle");
    const double idle_mib = static_cast<double>(peaks[0][h].peak_kib) / 1024;
    for (std::size_t s = 0; s < all.size(); ++s) {
      const double frame = static_cast<double>(all[s].message.size());
      const double peak_mib = static_cast<double>(peaks[s][h].peak_kib) / 1024;
      if (all[s].message.empty()) {
        std::printf("%-44s %9s %11s %6.1f MiB\n", all[s].name, "-", "-", peak_mib);
        continue;
      }
      std::printf("%-44s %9.0f %7.1f MB %6.1f MiB %6.1fx %8.1f MiB\n", all[s].name, frame,
                  static_cast<double>(peaks[s][h].request_bytes) / 1e6, peak_mib,
                  peak_mib * 1024 * 1024 / frame, peak_mib - idle_mib);
    }
  }
  return 0;
}
