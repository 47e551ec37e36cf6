// On Linux the started download manager leads a session of its own and holds
// nothing but its three standard streams.
#include <gtest/gtest.h>

#include "support/stand_in.h"

namespace qlx::testing_support {

void expect_platform_start_facts(const Json& record, const Path&) {
  ASSERT_TRUE(record.contains("session_leader")) << record.dump();
  EXPECT_EQ(record["session_leader"], true);
  ASSERT_TRUE(record.contains("descriptors")) << record.dump();
  EXPECT_EQ(record["descriptors"], Json::array({0, 1, 2}));
}

}  // namespace qlx::testing_support
