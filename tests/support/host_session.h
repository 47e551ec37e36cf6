#pragma once

// Starting the real host executable (or another program built beside the
// tests) over pipes, as a browser does.  The same calls work on Linux and,
// for the Windows build, under Wine.

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "child_process/child_process.h"
#include "platform/fs.h"
#include "support/temp_dir.h"

namespace qlx::testing_support {

/// The folder that holds the test binary and every program built beside it.
Path programs_dir();

/// `base` with the platform's executable suffix: "qlx-native-host" or "qlx-native-host.exe".
std::string executable_name(std::string_view base);

/// The built host, the stand-in download manager and the client.
Path host_executable();

/// Environment changes that make a started host use `local_app_data` as its
/// local application-data folder (so its data directory is
/// `local_app_data/Velmont/QLX`).
std::vector<EnvChange> local_app_data_env(const Path& local_app_data);

/// Environment changes under which the host finds no local application-data folder.
std::vector<EnvChange> no_local_app_data_env();

/// A local application-data folder for hosts to create their data directory
/// in, and the topmost folder that a test removes so that they must create
/// everything anew.  Linux hosts create the missing folders of XDG_DATA_HOME
/// too: the folder is eight levels below `scratch`, and all of them go.
/// Windows' known folder must exist: it is `scratch`, and "Velmont" below it goes.
struct AppDataToCreate {
  Path local_app_data;
  Path removable;
};
AppDataToCreate app_data_to_create(const Path& scratch);

/// The data directory a host uses under `local_app_data`.
Path data_dir_under(const Path& local_app_data);

/// Splits a stream of frames into their bodies.  A stream that does not end
/// on a frame boundary fails the calling test and drops the partial frame.
std::vector<std::string> frame_bodies(std::string_view stream);

struct HostOptions {
  Path executable = host_executable();
  std::vector<std::string> arguments;            // the browser passes its origin
  Path working_dir;                              // empty: the test's own
  std::vector<EnvChange> env;                    // applied on top of the test's environment
  std::optional<std::uint64_t> file_size_limit;  // POSIX only: see file_size_limit.h
  /// How long HostSession::finish() waits for the exit once stdin is closed:
  /// longer than any wait of the host's own (the manager's 35 s), shorter
  /// than ctest's limit for a test, so that a host that hangs fails the test
  /// with a message of its own.
  std::chrono::milliseconds finish_timeout{90'000};
};

/// Everything a finished host left behind.
struct HostRun {
  std::string output;  // all of stdout, frames back to back
  std::string errors;  // all of stderr: always expected to be empty
  int exit_code = -1;
  std::chrono::steady_clock::duration exit_time{};  // from closing stdin to the exit
  std::vector<std::string> replies() const { return frame_bodies(output); }
};

/// Starts the host, writes `input` to its stdin (raw bytes: build it with
/// frame_bytes()), closes stdin, and collects its output until it exits.
HostRun run_host(std::string_view input, const HostOptions& options = {});

/// A host that is still running: send messages and read replies one by one.
struct HostSession {
  ChildProcess child;
  std::chrono::milliseconds finish_timeout;

  explicit HostSession(const HostOptions& options = {});
  /// Sends one frame holding `body`.
  void send(std::string_view body);
  /// Sends raw bytes.
  void send_raw(std::string_view bytes);
  /// The body of the next reply frame, or nullopt when stdout ended.
  std::optional<std::string> read_reply();
  /// Closes stdin, drains stdout and stderr and waits for the exit.  A host
  /// that still runs `finish_timeout` after its stdin closed is killed and
  /// fails the test; what it wrote until then is returned all the same.
  HostRun finish();
};

}  // namespace qlx::testing_support
