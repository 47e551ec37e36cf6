// open_app on Windows: the started download manager's command line is its
// own path in quotes, nothing more.
#include <gtest/gtest.h>

#include "support/stand_in.h"

namespace qlx {
namespace {

TEST(OpenAppWindows, StartedManagerGetsItsQuotedPathAsTheCommandLine) {
  testing_support::ManagerInstall install;
  install.add_manager(testing_support::kManagerNames[0]);
  const Json record = install.open_app_record(install.options({{"QLX_STAND_IN_WATCH_MS", "0"}}));
  ASSERT_TRUE(record.contains("command_line")) << record.dump();
  const Path program = install.host_dir / Path(testing_support::kManagerNames[0]);
  EXPECT_EQ(record["command_line"], "\"" + path_to_utf8(program) + "\"");
}

}  // namespace
}  // namespace qlx
