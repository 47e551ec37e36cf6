// open_app on Linux: the started download manager leads a session of its own
// and holds nothing but its three standard streams.
#include <gtest/gtest.h>

#include "support/stand_in.h"

namespace qlx {
namespace {

TEST(OpenAppPosix, StartedManagerLeadsItsOwnSessionWithOnlyItsThreeStreams) {
  testing_support::ManagerInstall install;
  install.add_manager(testing_support::kManagerNames[0]);
  const Json record = install.open_app_record(install.options({{"QLX_STAND_IN_WATCH_MS", "0"}}));
  ASSERT_TRUE(record.contains("session_leader")) << record.dump();
  EXPECT_EQ(record["session_leader"], true);
  ASSERT_TRUE(record.contains("descriptors")) << record.dump();
  EXPECT_EQ(record["descriptors"], Json::array({0, 1, 2}));
}

}  // namespace
}  // namespace qlx
