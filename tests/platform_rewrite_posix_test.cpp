// A rewrite that cannot grow the file (a full disk, a file size limit) cuts it
// back and leaves the old content whole.  Shown on POSIX, where a file size
// limit makes the growth fail; Windows has no such limit, and Wine enforces no
// byte-range lock on a write past the end.
#include <gtest/gtest.h>

#include <string>

#include "platform/fs.h"
#include "platform/rewrite_file.h"
#include "support/growth_fault.h"
#include "support/temp_dir.h"

namespace qlx {
namespace {

// A full disk or a file size limit: the growth fails, the file is cut back,
// and the old content stays whole.
TEST(RewriteInPlace, FailedGrowthLeavesTheOldContent) {
  struct Growth {
    const char* name;
    std::string old;
    std::string next;
  };
  for (const Growth& c :
       {Growth{"OldShorter", "{\"a\": 1}", "{\"b\": 1234567890}"}, Growth{"FromEmpty", "", "{}"}}) {
    for (const bool edit : {false, true}) {
      SCOPED_TRACE(std::string(c.name) + (edit ? ", edit_file" : ", rewrite_file"));
      testing_support::TempDir scratch;
      const Path file = scratch.path / "file.json";
      ASSERT_TRUE(write_file(file, c.old));
      bool failed = false;
      {
        testing_support::GrowthFault fault(c.old.size());
        ASSERT_TRUE(fault.armed);
        failed = edit ? !edit_file(file, 1024, [&](const auto&) { return c.next; })
                      : !rewrite_file(file, c.next);
      }
      EXPECT_TRUE(failed);
      EXPECT_EQ(read_file(file).value_or("<unreadable>"), c.old);
    }
  }
}

}  // namespace
}  // namespace qlx
