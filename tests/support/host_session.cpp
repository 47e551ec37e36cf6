#include "support/host_session.h"

#include <thread>

#include <gtest/gtest.h>

#include "child_process/child_frame.h"
#include "host/frame.h"
#include "support/file_size_limit.h"

namespace qlx::testing_support {
namespace {

std::span<const std::byte> bytes_of(std::string_view text) {
  return std::as_bytes(std::span(text));
}

std::string read_to_end(ChildProcess& child) {
  std::string out;
  std::byte chunk[65536];
  for (;;) {
    auto got = read_child_output(child, chunk);
    if (!got || *got == 0) break;
    out.append(reinterpret_cast<const char*>(chunk), *got);
  }
  return out;
}

ChildProcess start(const HostOptions& options) {
  auto child = start_child_limited(
      ChildOptions{options.executable, options.arguments, options.working_dir, options.env},
      options.file_size_limit);
  if (!child) {
    ADD_FAILURE() << "cannot start " << options.executable.string() << ": " << child.error().text;
    return ChildProcess{};
  }
  return std::move(*child);
}

}  // namespace

Path programs_dir() {
  auto self = current_executable_path();
  if (!self) {
    ADD_FAILURE() << self.error().text;
    return Path();
  }
  return self->parent_path();
}

std::string executable_name(std::string_view base) {
  static const std::string suffix = [] {
    auto self = current_executable_path();
    return self ? self->extension().string() : std::string();
  }();
  return std::string(base) + suffix;
}

Path host_executable() {
  return programs_dir() / executable_name("qlx-native-host");
}

Path data_dir_under(const Path& local_app_data) {
  return local_app_data / "Velmont" / "QLX";
}

std::vector<std::string> frame_bodies(std::string_view stream) {
  std::vector<std::string> bodies;
  while (!stream.empty()) {
    if (stream.size() < kFramePrefixBytes) {
      ADD_FAILURE() << "output ends inside a length prefix";
      break;
    }
    const std::uint32_t n = frame_length(stream.data());
    if (stream.size() - kFramePrefixBytes < n) {
      ADD_FAILURE() << "output ends inside a frame of " << n << " bytes";
      break;
    }
    bodies.emplace_back(stream.substr(kFramePrefixBytes, n));
    stream.remove_prefix(kFramePrefixBytes + n);
  }
  return bodies;
}

HostRun run_host(std::string_view input, const HostOptions& options) {
  HostSession session(options);
  session.send_raw(input);
  return session.finish();
}

HostSession::HostSession(const HostOptions& options)
    : child(start(options)), finish_timeout(options.finish_timeout) {}

void HostSession::send(std::string_view body) {
  send_raw(frame_bytes(body));
}

void HostSession::send_raw(std::string_view bytes) {
  // A host that ended early stops reading: that is the test's to judge, not a harness failure.
  (void)write_child_input(child, bytes_of(bytes));
}

std::optional<std::string> HostSession::read_reply() {
  ChildFrame frame = read_child_frame(child);
  if (frame.read == FrameRead::kNoFrame) return std::nullopt;
  if (frame.read == FrameRead::kCutInPrefix) {
    ADD_FAILURE() << "stdout ended inside a length prefix";
    return std::nullopt;
  }
  if (frame.read == FrameRead::kCutInBody) {
    ADD_FAILURE() << "stdout ended inside a frame of " << frame.length << " bytes";
  }
  return std::move(frame.body);
}

HostRun HostSession::finish() {
  HostRun run;
  const auto closed = std::chrono::steady_clock::now();
  close_child_input(child);
  // Both pipes are drained while the exit is awaited: a host blocked on a
  // full pipe would otherwise never exit, and a host that never exits must
  // not block the reads.  A killed host's pipes end, which ends the reads.
  std::thread errors([&] { run.errors = read_child_errors(child); });
  std::thread output([&] { run.output = read_to_end(child); });
  if (child_running(child)) {
    auto ended = wait_child_for(child, finish_timeout);
    if (!ended) {
      ADD_FAILURE() << "cannot wait for the host: " << ended.error().text;
      kill_child(child);
    } else {
      run.exit_code = ended->code;
      if (ended->end == ChildEnd::kKilled) {
        ADD_FAILURE() << "the host still ran " << finish_timeout.count()
                      << " ms after its stdin closed: killed";
      }
    }
  }
  run.exit_time = std::chrono::steady_clock::now() - closed;
  output.join();
  errors.join();
  return run;
}

}  // namespace qlx::testing_support
