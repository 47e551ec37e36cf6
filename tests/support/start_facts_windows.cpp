// On Windows the started download manager's command line is its own path in
// quotes, nothing more.
#include <gtest/gtest.h>

#include "support/stand_in.h"

namespace qlx::testing_support {

void expect_platform_start_facts(const Json& record, const Path& program) {
  ASSERT_TRUE(record.contains("command_line")) << record.dump();
  const std::string path = path_to_utf8(program);
  EXPECT_EQ(record["command_line"], "\"" + path + "\"");
}

}  // namespace qlx::testing_support
