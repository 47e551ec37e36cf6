#pragma once

// A scratch installation of the host with the stand-in download manager
// (tools/stand-in-manager) beside it, as the download-manager tests use it.

#include <array>
#include <chrono>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "base/json.h"
#include "child_process/child_process.h"
#include "platform/fs.h"
#include "support/host_session.h"

namespace qlx::testing_support {

/// The download manager's executable names, in the host's order of preference.
inline constexpr std::array<std::string_view, 2> kManagerNames{
    "velmont-download-manager.exe",
    "Velmont Download Manager.exe",
};

/// The built stand-in download manager.
Path stand_in_executable();

/// A path from UTF-8 text (as the stand-in records paths).
Path path_from_utf8(std::string_view text);

/// File names in `dir`, sorted; none when it does not exist.
std::vector<std::string> file_names(const Path& dir);

/// A copy of the host in `host_dir`, a local application-data folder, and a
/// folder where the stand-ins record themselves (QLX_STAND_IN_RECORD_DIR).
/// Ending the installation stops every stand-in that recorded itself and
/// waits for it, so that its files can be removed.
struct ManagerInstall {
  TempDir temp;
  Path host_dir = temp.path / "host";
  Path local_app_data = temp.path / "local";
  Path records = temp.path / "records";
  Path host;

  ManagerInstall();
  ~ManagerInstall();
  ManagerInstall(const ManagerInstall&) = delete;
  ManagerInstall& operator=(const ManagerInstall&) = delete;

  /// Copies the stand-in into `dir` (default: beside the host) as `name`.
  void add_manager(std::string_view name) const;
  void add_manager(std::string_view name, const Path& dir) const;

  /// Environment for the host (and so for the stand-ins it starts): the data
  /// directory, the record folder, then `settings` (QLX_STAND_IN_...).
  std::vector<EnvChange> env(const std::vector<EnvChange>& settings = {}) const;

  /// Starts the host copy with env(settings).
  HostOptions options(const std::vector<EnvChange>& settings = {}) const;

  Path inbox() const;
  Path results() const;

  /// What each stand-in recorded when it started / ended, in no fixed order.
  std::vector<Json> started() const;
  std::vector<Json> exited() const;

  /// Waits (at most 30 s) until at least `count` stand-ins have recorded
  /// their start; false when they did not.
  bool wait_for_starts(std::size_t count) const;

  /// Waits (at most 30 s) until at least `count` stand-ins have started and
  /// ended; false when they did not.
  bool wait_for_exits(std::size_t count) const;

  /// Runs the host with `options` for one open_app, which must start one
  /// stand-in, and returns what that stand-in recorded when it started
  /// (null, with the test failed, when it did not).
  Json open_app_record(const HostOptions& options) const;

  /// Makes every stand-in end early.
  void stop_stand_ins() const;
};

/// Checks what only one platform's stand-in records when the host started it
/// as `program` (support/start_facts_<platform>.cpp); a missing fact fails.
void expect_platform_start_facts(const Json& record, const Path& program);

}  // namespace qlx::testing_support
