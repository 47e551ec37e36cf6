// The download manager is started apart from the host: it cannot write into
// the reply stream, read the extension's messages or keep the browser's pipes
// open, and on Linux it leaves no zombie behind.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "support/host_session.h"
#include "support/stand_in.h"

namespace qlx {
namespace {

using testing_support::HostSession;
using testing_support::kManagerNames;
using testing_support::ManagerInstall;

/// Processes whose parent is `pid`, read from /proc; nullopt where there is none.
std::optional<std::vector<std::string>> children_of(std::intptr_t pid) {
  std::error_code error;
  if (!std::filesystem::is_directory("/proc/self", error)) return std::nullopt;
  std::vector<std::string> children;
  for (const auto& entry : std::filesystem::directory_iterator("/proc", error)) {
    std::ifstream stat(entry.path() / "stat");
    std::string line;
    if (!std::getline(stat, line)) continue;
    // "pid (name) state ppid ...": the name may hold spaces and parentheses.
    const auto close = line.rfind(')');
    if (close == std::string::npos) continue;
    std::istringstream rest(line.substr(close + 1));
    std::string state;
    long parent = 0;
    rest >> state >> parent;
    if (parent == pid) children.push_back(line.substr(0, close + 1) + " " + state);
  }
  return children;
}

TEST(ManagerIsolation, ChattyLingeringManagerNeitherCorruptsNorHoldsTheStream) {
  ManagerInstall install;
  install.add_manager(kManagerNames[0]);
  HostSession host(install.options({{"QLX_STAND_IN_NOISE", "1"},
                                    {"QLX_STAND_IN_WATCH_MS", "2000"},
                                    {"QLX_STAND_IN_LINGER_MS", "120000"}}));
  host.send(R"({"type":"open_app"})");
  EXPECT_EQ(host.read_reply(), R"({"launched":true,"ok":true})");
  host.send(R"({"type":"add_download","url":"https://a.example/"})");
  EXPECT_EQ(host.read_reply(), R"({"launched":true,"ok":true,"received":"add_download"})");
  host.send(R"({"type":"ping"})");
  EXPECT_EQ(host.read_reply(), R"({"host":"com.velmont.qlx","ok":true,"version":"1.0.7"})");

  // The host's stdout ends with the host, though both managers still run.
  const auto run = host.finish();
  EXPECT_EQ(run.output, "");
  EXPECT_EQ(run.errors, "");
  EXPECT_EQ(run.exit_code, 0);
  ASSERT_TRUE(install.wait_for_starts(2));
  EXPECT_EQ(install.exited().size(), 0u) << "the managers must still be running";

  install.stop_stand_ins();
  ASSERT_TRUE(install.wait_for_exits(2));
  for (const Json& record : install.started()) EXPECT_EQ(record["stdout"], "null");
  for (const Json& exited : install.exited()) {
    EXPECT_EQ(exited["stdin_bytes"], 0) << "the manager read nothing of the host's input";
  }
}

TEST(ManagerIsolation, StartedManagersLeaveNoZombies) {
  ManagerInstall install;
  install.add_manager(kManagerNames[0]);
  HostSession host(install.options({{"QLX_STAND_IN_WATCH_MS", "0"}}));
  constexpr int kStarts = 8;
  for (int i = 0; i < kStarts; ++i) {
    host.send(R"({"type":"open_app"})");
    EXPECT_EQ(host.read_reply(), R"({"launched":true,"ok":true})");
  }
  ASSERT_TRUE(install.wait_for_exits(kStarts));
  // Every one of them ended, while the host still runs.
  const auto children = children_of(host.child.process);
  if (children) {
    EXPECT_EQ(*children, std::vector<std::string>{});
  }
  const auto run = host.finish();
  EXPECT_EQ(run.exit_code, 0);
}

}  // namespace
}  // namespace qlx
