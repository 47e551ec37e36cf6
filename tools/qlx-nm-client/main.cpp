// qlx-nm-client: talks to a native messaging host the way a browser does.
//
//   qlx-nm-client HOST [MESSAGE...]
//
// Starts HOST, sends each MESSAGE (one JSON text; when none is given, one per
// line of standard input) as a length-prefixed frame, prints each message and
// the host's reply, then closes the host's input and prints its exit code.
#include <cstdint>
#include <cstdio>
#include <iostream>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "base/json.h"
#include "child_process/child_frame.h"
#include "host/frame.h"

namespace {

using qlx::ChildProcess;

/// The next reply's body (cut short when the host's output ends inside it),
/// or nothing when the output ended before it.
std::optional<std::string> read_reply(ChildProcess& child) {
  qlx::ChildFrame frame = qlx::read_child_frame(child);
  if (frame.read == qlx::FrameRead::kNoFrame || frame.read == qlx::FrameRead::kCutInPrefix) {
    return std::nullopt;
  }
  return std::move(frame.body);
}

int usage() {
  std::cerr << "usage: qlx-nm-client HOST [MESSAGE...]\n"
               "Sends each JSON MESSAGE (or each line of standard input) to the native\n"
               "messaging host HOST and prints the replies and the host's exit code.\n";
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2 || std::string(argv[1]) == "--help" || std::string(argv[1]) == "-h") return usage();

  std::vector<std::string> messages(argv + 2, argv + argc);
  if (argc == 2) {
    for (std::string line; std::getline(std::cin, line);) {
      if (!line.empty() && line.back() == '\r') line.pop_back();
      if (line.find_first_not_of(" \t") != std::string::npos) messages.push_back(line);
    }
  }
  // Refuse bad input here rather than hand the host a frame it will reject.
  for (std::size_t i = 0; i < messages.size(); ++i) {
    if (auto parsed = qlx::parse_json(messages[i]); !parsed) {
      std::cerr << "qlx-nm-client: message " << i + 1 << " is not JSON: " << parsed.error().text
                << "\n  " << messages[i] << "\n";
      return 2;
    }
  }

  auto started = qlx::start_child(qlx::ChildOptions{argv[1], {}, {}, {}});
  if (!started) {
    std::cerr << "qlx-nm-client: cannot start " << argv[1] << ": " << started.error().text << "\n";
    return 1;
  }
  ChildProcess& host = *started;

  for (const std::string& message : messages) {
    std::cout << "-> " << message << std::endl;
    const std::string frame = qlx::frame_bytes(message);
    if (auto sent = qlx::write_child_input(host, std::as_bytes(std::span(frame))); !sent) {
      std::cout << "   (the host no longer reads: " << sent.error().text << ")" << std::endl;
      break;
    }
    auto reply = read_reply(host);
    if (!reply) {
      std::cout << "<- (the host closed its output)" << std::endl;
      break;
    }
    std::cout << "<- " << *reply << std::endl;
  }

  qlx::close_child_input(host);
  while (auto extra = read_reply(host)) std::cout << "<- " << *extra << std::endl;
  const std::string errors = qlx::read_child_errors(host);
  if (!errors.empty()) std::cout << "host wrote to stderr: " << errors << std::endl;
  auto code = qlx::wait_child(host);
  if (!code) {
    std::cerr << "qlx-nm-client: " << code.error().text << "\n";
    return 1;
  }
  std::cout << "host exited with code " << *code << std::endl;
  return 0;
}
