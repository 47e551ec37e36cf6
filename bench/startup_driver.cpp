// Start-to-exit time of native messaging hosts, as a browser that starts one
// host per message sees it: start the program over pipes, send one ping
// frame, read the 58-byte reply, close stdin, wait for the exit.  Every
// program runs the same number of times in interleaved rounds (the order
// turns each round), so that the machine's load falls on all of them alike.
// The first program is the floor the others are compared with: by default
// ping_floor (bench/ping_floor.c) and the host, both from beside this driver.
//
//   startup_driver [-n RUNS] [--via LAUNCHER]... [--env NAME[=VALUE]]... [PROGRAM...]
//
// --via puts a launcher before each program (repeatable: the launcher and its
// own arguments), e.g. `--via /usr/bin/wine` for Windows builds.  Every
// program gets XDG_DATA_HOME in a scratch folder, so that the host records
// its heartbeats as it does for a user; --env then sets (NAME=VALUE) or
// removes (NAME) a variable for every program, e.g. `--env XDG_DATA_HOME
// --env HOME` for a host without a data directory.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <optional>
#include <random>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "child_process/child_process.h"
#include "child_runs.h"
#include "host/frame.h"
#include "platform/fs.h"

namespace {

using qlx::bench::children_cpu_seconds;
using qlx::bench::kPingReply;
namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

fs::path scratch;  // the programs' data folder, removed on every way out

[[noreturn]] void die(const std::string& what) {
  if (!scratch.empty()) fs::remove_all(scratch);
  std::fprintf(stderr, "startup_driver: %s\n", what.c_str());
  std::exit(1);
}

struct Program {
  std::string label;  // as given on the command line
  qlx::Path path;
  std::vector<double> wall_ms;
  std::vector<double> cpu_ms;
};

struct Setup {
  std::vector<std::string> launcher;  // empty: start the program itself
  std::vector<qlx::EnvChange> env;
  std::string request;
  std::string expected_reply;
};

/// One start-to-exit run of `program`; adds its wall and CPU time.
void run_once(const Setup& setup, Program& program) {
  qlx::ChildOptions options;
  if (setup.launcher.empty()) {
    options.program = program.path;
  } else {
    options.program = setup.launcher.front();
    options.arguments.assign(setup.launcher.begin() + 1, setup.launcher.end());
    options.arguments.push_back(program.path.string());
  }
  options.env = setup.env;

  const double cpu_before = children_cpu_seconds();
  const auto start = Clock::now();
  auto child = qlx::start_child(options);
  if (!child) die("cannot start " + program.path.string() + ": " + child.error().text);
  if (!qlx::write_child_input(*child, std::as_bytes(std::span(setup.request)))) {
    die(program.path.string() + " did not take the ping");
  }
  std::string reply(setup.expected_reply.size(), '\0');
  if (const std::size_t have =
          qlx::read_child_output_fully(*child, std::as_writable_bytes(std::span(reply)));
      have < reply.size()) {
    qlx::close_child_input(*child);
    const auto code = qlx::wait_child(*child);
    die(program.path.string() + " ended before its reply, after " + std::to_string(have) +
        " bytes, with exit code " + (code ? std::to_string(*code) : code.error().text) +
        " and stderr: " + qlx::read_child_errors(*child));
  }
  qlx::close_child_input(*child);
  std::byte rest[64];
  auto after = qlx::read_child_output(*child, rest);
  const auto exit_code = qlx::wait_child(*child);
  const std::chrono::duration<double, std::milli> took = Clock::now() - start;
  const double cpu = children_cpu_seconds() - cpu_before;

  if (reply != setup.expected_reply) die(program.path.string() + " gave an unexpected reply");
  if (!after || *after != 0) die(program.path.string() + " wrote more than its reply");
  if (!exit_code || *exit_code != 0) die(program.path.string() + " did not exit with 0");
  if (const std::string errors = qlx::read_child_errors(*child); !errors.empty()) {
    die(program.path.string() + " wrote to stderr: " + errors);
  }
  program.wall_ms.push_back(took.count());
  program.cpu_ms.push_back(cpu * 1e3);
}

/// The value below which `fraction` of the sorted `values` lie.
double percentile(std::vector<double> values, double fraction) {
  std::sort(values.begin(), values.end());
  const auto at = static_cast<std::size_t>(fraction * static_cast<double>(values.size() - 1) + 0.5);
  return values[at];
}

}  // namespace

int main(int argc, char** argv) {
  int runs = 60;
  Setup setup;
  std::vector<Program> programs;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg == "-n" && i + 1 < argc) {
      runs = std::atoi(argv[++i]);
    } else if (arg == "--via" && i + 1 < argc) {
      setup.launcher.emplace_back(argv[++i]);
    } else if (arg == "--env" && i + 1 < argc) {
      const std::string_view entry = argv[++i];
      const auto eq = entry.find('=');
      if (eq == std::string_view::npos) {
        setup.env.push_back({std::string(entry), std::nullopt});
      } else {
        setup.env.push_back({std::string(entry.substr(0, eq)), std::string(entry.substr(eq + 1))});
      }
    } else if (arg.starts_with("-")) {
      die("usage: startup_driver [-n RUNS] [--via LAUNCHER]... [--env NAME[=VALUE]]... "
          "[PROGRAM...]");
    } else {
      programs.push_back({argv[i], fs::absolute(argv[i]), {}, {}});
    }
  }
  if (runs < 1) die("-n takes a positive number");
  if (programs.empty()) {
    auto self = qlx::current_executable_path();
    if (!self) die(self.error().text);
    for (const char* name : {"ping_floor", "qlx-native-host"}) {
      programs.push_back({name, self->parent_path() / name, {}, {}});
    }
  }

  std::random_device random;
  scratch = fs::temp_directory_path() / ("qlx-startup-driver-" + std::to_string(random()));
  fs::create_directories(scratch);
  setup.env.insert(setup.env.begin(), {"XDG_DATA_HOME", scratch.string()});
  setup.request = qlx::frame_bytes(R"({"type":"ping"})");
  setup.expected_reply = qlx::frame_bytes(kPingReply);

  // One unmeasured run each, so that every program starts from the page cache.
  for (Program& program : programs) {
    run_once(setup, program);
    program.wall_ms.clear();
    program.cpu_ms.clear();
  }
  for (int round = 0; round < runs; ++round) {
    for (std::size_t k = 0; k < programs.size(); ++k) {
      run_once(setup, programs[(k + static_cast<std::size_t>(round)) % programs.size()]);
    }
  }
  fs::remove_all(scratch);

  std::printf("start to exit with one ping, %d runs each, interleaved%s\n", runs,
              setup.launcher.empty() ? "" : (" via " + setup.launcher.front()).c_str());
  std::printf("%-40s %9s %9s %9s %7s %12s\n", "program", "median", "p10", "p90", "ratio",
              "CPU median");
  const double floor = percentile(programs.front().wall_ms, 0.5);
  for (const Program& program : programs) {
    const double median = percentile(program.wall_ms, 0.5);
    std::printf("%-40s %6.2f ms %6.2f ms %6.2f ms %6.2fx %9.2f ms\n", program.label.c_str(), median,
                percentile(program.wall_ms, 0.1), percentile(program.wall_ms, 0.9), median / floor,
                percentile(program.cpu_ms, 0.5));
  }
  return 0;
}
