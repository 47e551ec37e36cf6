// Pings through one real host, one after another as the extension sends them,
// each awaiting its reply: with heartbeats recorded (legacy file only; both
// files, for a message that names its browser) and, in the same run, with no
// data directory (heartbeats skipped).  Then the time from starting a host to
// its first reply.  Beside each wall-clock figure stands the CPU time the host
// itself used (user + system), which the machine's other load does not inflate.
//
//   ping_driver [pings per host, default 20000] [start-ups, default 200] [HOST...]
//
// With HOST programs named (for example an older build beside this one), the
// pings run through each of them in alternated rounds and each gets its own
// lines; the start-ups use the first.  Without, the host beside the driver.
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "child_process/child_process.h"
#include "child_runs.h"
#include "host/frame.h"
#include "platform/fs.h"
#include "support/temp_dir.h"

namespace {

using qlx::bench::children_cpu_seconds;
using qlx::bench::kPingReply;
using Clock = std::chrono::steady_clock;

[[noreturn]] void die(const std::string& what) {
  std::fprintf(stderr, "ping_driver: %s\n", what.c_str());
  std::exit(1);
}

/// Sends one frame and checks that the reply is the ping reply.
void ping(qlx::ChildProcess& host, const std::string& request) {
  if (!qlx::write_child_input(host, std::as_bytes(std::span(request)))) die("cannot write");
  std::byte reply[qlx::kFramePrefixBytes + kPingReply.size()];
  if (qlx::read_child_output_fully(host, reply) != sizeof reply) die("the host ended early");
  const std::string_view body(reinterpret_cast<const char*>(reply) + qlx::kFramePrefixBytes,
                              kPingReply.size());
  if (qlx::frame_length(reply) != kPingReply.size() || body != kPingReply) {
    die("unexpected reply");
  }
}

struct Rate {
  double per_second;   // wall clock
  double cpu_us_each;  // the host's CPU time per ping, warm-up included
};

qlx::ChildProcess start_host(const qlx::Path& host, const std::vector<qlx::EnvChange>& env) {
  auto child = qlx::start_child({host, {}, {}, env});
  if (!child) die("cannot start the host: " + child.error().text);
  return std::move(*child);
}

void finish(qlx::ChildProcess& host) {
  qlx::close_child_input(host);
  std::byte rest[64];
  while (true) {
    auto got = qlx::read_child_output(host, rest);
    if (!got || *got == 0) break;
  }
  if (qlx::wait_child(host).value_or(-1) != 0) die("the host failed");
}

Rate pings_per_second(const qlx::Path& host, const std::vector<qlx::EnvChange>& env,
                      std::string_view body, int pings) {
  const double cpu_before = children_cpu_seconds();
  qlx::ChildProcess child = start_host(host, env);
  const std::string request = qlx::frame_bytes(body);
  for (int i = 0; i < 200; ++i) ping(child, request);  // warm up
  const auto start = Clock::now();
  for (int i = 0; i < pings; ++i) ping(child, request);
  const std::chrono::duration<double> took = Clock::now() - start;
  finish(child);
  const double cpu = children_cpu_seconds() - cpu_before;
  return {pings / took.count(), cpu * 1e6 / (pings + 200)};
}

}  // namespace

int main(int argc, char** argv) {
  const int pings = argc > 1 ? std::atoi(argv[1]) : 20000;
  const int startups = argc > 2 ? std::atoi(argv[2]) : 200;
  std::vector<qlx::Path> hosts(argv + std::min(argc, 3), argv + argc);
  if (hosts.empty()) {
    auto self = qlx::current_executable_path();
    if (!self) die(self.error().text);
    hosts.push_back(self->parent_path() / "qlx-native-host");
  }
  const qlx::Path& host = hosts.front();

  const qlx::testing_support::TempDir scratch;
  const std::vector<qlx::EnvChange> with_data{{"XDG_DATA_HOME", scratch.path.string()}};
  const std::vector<qlx::EnvChange> without_data{{"XDG_DATA_HOME", std::nullopt},
                                                 {"HOME", std::nullopt}};
  const std::string_view plain = R"({"type":"ping"})";
  const std::string_view named =
      R"({"type":"ping","browser_id":"edge","extension_version":"2.0.1"})";

  // Interleaved rounds, so that the machine's other load falls on every case
  // (and every host) alike.
  struct Rates {
    std::vector<Rate> legacy_only, both_files, none;
  };
  std::vector<Rates> rates(hosts.size());
  for (int round = 0; round < 3; ++round) {
    for (std::size_t h = 0; h < hosts.size(); ++h) {
      rates[h].legacy_only.push_back(pings_per_second(hosts[h], with_data, plain, pings));
      rates[h].both_files.push_back(pings_per_second(hosts[h], with_data, named, pings));
      rates[h].none.push_back(pings_per_second(hosts[h], without_data, named, pings));
    }
  }
  auto report = [](const char* what, const std::vector<Rate>& runs) {
    double rate = 0, cpu = 1e9;
    for (const Rate& r : runs) {
      rate = std::max(rate, r.per_second);
      cpu = std::min(cpu, r.cpu_us_each);
    }
    std::printf("%-44s %8.0f pings/s   host CPU %6.1f us/ping\n", what, rate, cpu);
  };
  for (std::size_t h = 0; h < hosts.size(); ++h) {
    if (hosts.size() > 1) std::printf("%s:\n", hosts[h].string().c_str());
    report("heartbeats, legacy file only (no browser):", rates[h].legacy_only);
    report("heartbeats, both files (browser_id edge):", rates[h].both_files);
    report("no data directory (heartbeats skipped):", rates[h].none);
  }

  std::vector<double> startup_ms;
  const std::string request = qlx::frame_bytes(named);
  const double cpu_before = children_cpu_seconds();
  for (int i = 0; i < startups; ++i) {
    const auto start = Clock::now();
    qlx::ChildProcess child = start_host(host, with_data);
    ping(child, request);
    const std::chrono::duration<double, std::milli> took = Clock::now() - start;
    startup_ms.push_back(took.count());
    finish(child);
  }
  const double startup_cpu_ms = (children_cpu_seconds() - cpu_before) * 1e3 / startups;
  std::sort(startup_ms.begin(), startup_ms.end());
  std::printf(
      "start to first reply: median %.2f ms, p90 %.2f ms over %d starts; host CPU %.2f ms each "
      "(whole run)\n",
      startup_ms[startup_ms.size() / 2], startup_ms[startup_ms.size() * 9 / 10], startups,
      startup_cpu_ms);
  return 0;
}
