// On Linux the host reaps the download managers it starts: none is left
// behind as a zombie while the host still runs.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "support/host_session.h"
#include "support/stand_in.h"

namespace qlx {
namespace {

using testing_support::HostSession;
using testing_support::kManagerNames;
using testing_support::ManagerInstall;

/// Processes whose parent is `pid`, with their state, read from /proc.
std::vector<std::string> children_of(long pid) {
  std::vector<std::string> children;
  for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
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
  ASSERT_TRUE(child_process_id(host.child));
  EXPECT_EQ(children_of(static_cast<long>(*child_process_id(host.child))),
            std::vector<std::string>{});
  const auto run = host.finish();
  EXPECT_EQ(run.exit_code, 0);
}

}  // namespace
}  // namespace qlx
