// Sends one browser-generated file to the real host as the extension does:
// blob_begin, chunks of 900,000 Base64 symbols, blob_end, each awaiting its
// reply, with the stand-in download manager (installed beside a copy of the
// host) answering the import at once and heartbeats recorded as usual.
// Reports the file's megabytes per second from the first frame to the last
// reply, the host's peak resident memory, and, for comparison, the rate at
// which coreutils' `base64 -d` decodes the same text into a file on the same
// disk.
//
//   transfer_driver [file MiB, default 64] [scratch folder, default beside the build]
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "host/frame.h"
#include "support/base64_encode.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr std::size_t kChunkSymbols = 900'000;
constexpr std::string_view kTransferId = "bench-transfer-0001";

[[noreturn]] void die(const std::string& what) {
  std::fprintf(stderr, "transfer_driver: %s\n", what.c_str());
  std::exit(1);
}

std::string read_whole(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream content;
  content << in.rdbuf();
  return content.str();
}

void write_all(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t put = ::write(fd, bytes.data(), bytes.size());
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) die("writing to the host failed");
    bytes.remove_prefix(static_cast<std::size_t>(put));
  }
}

void read_exact(int fd, char* out, std::size_t size) {
  while (size > 0) {
    const ssize_t got = ::read(fd, out, size);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) die("the host's output ended");
    out += got;
    size -= static_cast<std::size_t>(got);
  }
}

struct Host {
  pid_t pid = -1;
  int input = -1;
  int output = -1;

  /// Writes one frame: the little-endian length, then the body.
  void send(std::string& frame_buffer, std::string_view head, std::string_view middle,
            std::string_view tail) {
    const auto length = static_cast<std::uint32_t>(head.size() + middle.size() + tail.size());
    frame_buffer.clear();
    frame_buffer += qlx::frame_prefix(length);
    frame_buffer.append(head).append(middle).append(tail);
    write_all(input, frame_buffer);
  }

  std::string reply() {
    char prefix[qlx::kFramePrefixBytes];
    read_exact(output, prefix, qlx::kFramePrefixBytes);
    const std::uint32_t length = qlx::frame_length(prefix);
    std::string body(length, '\0');
    read_exact(output, body.data(), length);
    return body;
  }
};

Host start_host(const fs::path& program, const fs::path& local_data, const fs::path& errors) {
  int to_host[2], from_host[2];
  if (::pipe2(to_host, O_CLOEXEC) != 0 || ::pipe2(from_host, O_CLOEXEC) != 0) die("pipe");
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, to_host[0], 0);
  posix_spawn_file_actions_adddup2(&actions, from_host[1], 1);
  posix_spawn_file_actions_addopen(&actions, 2, errors.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  std::vector<std::string> env_text;
  for (char** entry = environ; *entry != nullptr; ++entry) {
    const std::string_view text(*entry);
    if (!text.starts_with("XDG_DATA_HOME=")) env_text.emplace_back(text);
  }
  env_text.push_back("XDG_DATA_HOME=" + local_data.string());
  std::vector<char*> env;
  for (auto& text : env_text) env.push_back(text.data());
  env.push_back(nullptr);
  std::string name = program.string();
  char* argv[] = {name.data(), nullptr};
  Host host;
  if (posix_spawn(&host.pid, name.c_str(), &actions, nullptr, argv, env.data()) != 0) {
    die("cannot start " + name);
  }
  posix_spawn_file_actions_destroy(&actions);
  ::close(to_host[0]);
  ::close(from_host[1]);
  host.input = to_host[1];
  host.output = from_host[0];
  return host;
}

/// The host's peak resident set so far, in KiB, from /proc (wait4's figure
/// would include the memory of this driver, which the child shared before exec).
long peak_rss_kib(pid_t pid) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  for (std::string line; std::getline(status, line);) {
    if (line.starts_with("VmHWM:")) return std::strtol(line.c_str() + 6, nullptr, 10);
  }
  die("no VmHWM for the host");
}

double seconds_since(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

/// `base64 -d <text >decoded`, timed.
double time_coreutils_decode(const fs::path& text, const fs::path& decoded) {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, text.c_str(), O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, decoded.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                   0600);
  char program[] = "base64";
  char flag[] = "-d";
  char* argv[] = {program, flag, nullptr};
  pid_t pid;
  const auto start = Clock::now();
  if (posix_spawnp(&pid, program, &actions, nullptr, argv, environ) != 0)
    die("cannot start base64");
  int status = 0;
  ::waitpid(pid, &status, 0);
  const double elapsed = seconds_since(start);
  posix_spawn_file_actions_destroy(&actions);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) die("base64 -d failed");
  return elapsed;
}

}  // namespace

int main(int argc, char** argv) {
  const std::size_t mib = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 64;
  const fs::path bin_dir = fs::canonical("/proc/self/exe").parent_path();
  const fs::path scratch = argc > 2 ? fs::path(argv[2]) : bin_dir.parent_path() / "transfer-bench";
  fs::remove_all(scratch);
  fs::create_directories(scratch / "app");
  fs::create_directories(scratch / "local");

  // The host and, beside it under the download manager's name, the stand-in.
  const fs::path host_program = scratch / "app" / "qlx-native-host";
  fs::copy_file(bin_dir / "qlx-native-host", host_program);
  if (!fs::exists(bin_dir / "stand-in-manager")) die("no stand-in-manager beside the driver");
  fs::copy_file(bin_dir / "stand-in-manager", scratch / "app" / "velmont-download-manager.exe");

  std::string file(mib << 20, '\0');
  std::mt19937_64 random(20'260'101);
  for (std::size_t i = 0; i + 8 <= file.size(); i += 8) {
    const std::uint64_t word = random();
    std::memcpy(file.data() + i, &word, 8);
  }
  const std::string text = qlx::testing_support::encode_base64(file);
  {
    std::ofstream out(scratch / "file.b64", std::ios::binary);
    out << text;
  }

  Host host = start_host(host_program, scratch / "local", scratch / "host-stderr");
  std::string frame;
  std::size_t chunks = 0;
  const auto start = Clock::now();
  host.send(frame,
            R"({"type":"blob_begin","source":"chrome","extension_version":"1.0.0","transfer_id":")",
            kTransferId,
            R"(","filename":"bench.bin","content_type":"application/octet-stream","size":)" +
                std::to_string(file.size()) + "}");
  if (const auto reply = host.reply(); !reply.starts_with(R"({"ok":true)")) die("begin: " + reply);
  const std::string chunk_head = R"({"type":"blob_chunk","source":"chrome","transfer_id":")" +
                                 std::string(kTransferId) + R"(","data_base64":")";
  for (std::size_t at = 0; at < text.size(); at += kChunkSymbols, ++chunks) {
    host.send(frame, chunk_head, std::string_view(text).substr(at, kChunkSymbols), "\"}");
    if (const auto reply = host.reply(); !reply.starts_with(R"({"ok":true,"received")")) {
      die("chunk: " + reply);
    }
  }
  const double chunk_seconds = seconds_since(start);
  host.send(frame, R"({"type":"blob_end","source":"chrome","transfer_id":")", kTransferId, "\"}");
  const std::string end_reply = host.reply();
  const double seconds = seconds_since(start);
  const long rss_kib = peak_rss_kib(host.pid);
  ::close(host.input);
  int status = 0;
  struct rusage usage {};
  ::wait4(host.pid, &status, 0, &usage);
  const double host_cpu_seconds =
      static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
      static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
  if (end_reply.find(R"("ok":true)") == std::string::npos) die("end: " + end_reply);
  if (!fs::is_empty(scratch / "host-stderr")) die("the host wrote to stderr");
  const fs::path partial = scratch / "local" / "Velmont" / "QLX" / "browser-transfers" /
                           (std::string(kTransferId) + ".part");
  if (read_whole(partial) != file) die("the received file differs from the one sent");

  const double coreutils_seconds =
      time_coreutils_decode(scratch / "file.b64", scratch / "decoded.bin");
  if (read_whole(scratch / "decoded.bin") != file) die("base64 -d decoded something else");

  const double megabytes = static_cast<double>(file.size()) / 1e6;
  const double rate = megabytes / seconds;
  const double coreutils_rate = megabytes / coreutils_seconds;
  std::printf("file: %zu MiB in %zu chunks of %zu Base64 symbols\n", mib, chunks, kChunkSymbols);
  std::printf("host transfer, first frame to last reply: %.3f s, %.0f MB/s\n", seconds, rate);
  std::printf("  of which the chunks: %.3f s, %.0f MB/s; blob_end and import: %.3f s\n",
              chunk_seconds, megabytes / chunk_seconds, seconds - chunk_seconds);
  std::printf("host processor time (user and system): %.3f s\n", host_cpu_seconds);
  std::printf("host peak resident memory: %.1f MiB\n", static_cast<double>(rss_kib) / 1024.0);
  std::printf("base64 -d into a file: %.3f s, %.0f MB/s\n", coreutils_seconds, coreutils_rate);
  std::printf("host rate / base64 -d rate: %.2f\n", rate / coreutils_rate);
  std::printf("end reply: %s\n", end_reply.c_str());
  fs::remove_all(scratch);
  return 0;
}
