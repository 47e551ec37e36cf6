#include "support/stand_in.h"

#include <algorithm>
#include <filesystem>
#include <system_error>
#include <thread>

#include <gtest/gtest.h>

#include "host/frame.h"

namespace qlx::testing_support {
namespace {

using std::chrono::milliseconds;

std::vector<Json> parsed_files(const Path& dir, std::string_view extension) {
  std::vector<Json> out;
  for (const std::string& name : file_names(dir)) {
    if (Path(name).extension() != Path(extension)) continue;
    auto text = read_file(dir / name);
    if (!text) continue;
    auto value = parse_json(*text);
    if (value) out.push_back(std::move(*value));
  }
  return out;
}

}  // namespace

Path stand_in_executable() {
  return programs_dir() / executable_name("stand-in-manager");
}

Path path_from_utf8(std::string_view text) {
  return Path(std::u8string(text.begin(), text.end()));
}

std::vector<std::string> file_names(const Path& dir) {
  std::vector<std::string> names;
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(dir, error)) {
    names.push_back(path_to_utf8(entry.path().filename()));
  }
  std::sort(names.begin(), names.end());
  return names;
}

ManagerInstall::ManagerInstall() {
  std::filesystem::create_directories(host_dir);
  std::filesystem::create_directories(local_app_data);
  std::filesystem::create_directories(records);
  host = host_dir / executable_name("qlx-native-host");
  std::filesystem::copy_file(host_executable(), host);
}

ManagerInstall::~ManagerInstall() {
  stop_stand_ins();
  // A stand-in started just before may not have recorded itself yet.
  std::this_thread::sleep_for(milliseconds(100));
  const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (exited().size() < started().size() && std::chrono::steady_clock::now() < until) {
    std::this_thread::sleep_for(milliseconds(20));
  }
}

void ManagerInstall::add_manager(std::string_view name) const {
  add_manager(name, host_dir);
}

void ManagerInstall::add_manager(std::string_view name, const Path& dir) const {
  std::filesystem::create_directories(dir);
  std::filesystem::copy_file(stand_in_executable(), dir / Path(name));
}

std::vector<EnvChange> ManagerInstall::env(const std::vector<EnvChange>& settings) const {
  std::vector<EnvChange> changes = local_app_data_env(local_app_data);
  changes.push_back({"QLX_STAND_IN_RECORD_DIR", path_to_utf8(records)});
  changes.insert(changes.end(), settings.begin(), settings.end());
  return changes;
}

HostOptions ManagerInstall::options(const std::vector<EnvChange>& settings) const {
  HostOptions options;
  options.executable = host;
  options.env = env(settings);
  return options;
}

Path ManagerInstall::inbox() const {
  return data_dir_under(local_app_data) / "inbox";
}
Path ManagerInstall::results() const {
  return data_dir_under(local_app_data) / "inbox-results";
}

std::vector<Json> ManagerInstall::started() const {
  return parsed_files(records, ".json");
}
std::vector<Json> ManagerInstall::exited() const {
  return parsed_files(records, ".exited");
}

bool ManagerInstall::wait_for_starts(std::size_t count) const {
  const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (started().size() < count) {
    if (std::chrono::steady_clock::now() >= until) return false;
    std::this_thread::sleep_for(milliseconds(20));
  }
  return true;
}

bool ManagerInstall::wait_for_exits(std::size_t count) const {
  const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (started().size() < count || exited().size() < count) {
    if (std::chrono::steady_clock::now() >= until) return false;
    std::this_thread::sleep_for(milliseconds(20));
  }
  return true;
}

Json ManagerInstall::open_app_record(const HostOptions& options) const {
  const HostRun run = run_host(frame_bytes(R"({"type":"open_app"})"), options);
  EXPECT_EQ(run.replies(), std::vector<std::string>{R"({"launched":true,"ok":true})"});
  EXPECT_EQ(run.exit_code, 0);
  if (!wait_for_exits(1)) {
    ADD_FAILURE() << "no stand-in started and ended";
    return Json();
  }
  const std::vector<Json> starts = started();
  EXPECT_EQ(starts.size(), 1u);
  return starts.front();
}

void ManagerInstall::stop_stand_ins() const {
  (void)write_file(records / "stop", "");
}

}  // namespace qlx::testing_support
