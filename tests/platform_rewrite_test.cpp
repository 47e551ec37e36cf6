// Rewriting a small file in place (rewrite_file, edit_file): the content it
// leaves, and that the padded content of the step in between reads as the
// new content.  What a rewrite that cannot grow the file leaves is in
// platform_rewrite_posix_test.cpp.
#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>

#include "base/json.h"
#include "identity/heartbeat_table.h"
#include "identity/heartbeats.h"
#include "platform/fs.h"
#include "platform/rewrite_file.h"
#include "support/case_name.h"
#include "support/temp_dir.h"

namespace qlx {
namespace {

struct RewriteCase {
  const char* name;
  std::optional<std::string> old;  // nullopt: no file
  std::string next;
};

class RewriteInPlace : public testing::TestWithParam<RewriteCase> {
 protected:
  void SetUp() override {
    if (GetParam().old) {
      ASSERT_TRUE(write_file(file_, *GetParam().old));
    }
  }
  std::string content() const { return read_file(file_).value_or("<unreadable>"); }

  testing_support::TempDir scratch_;
  Path file_ = scratch_.path / "file.json";
};

TEST_P(RewriteInPlace, RewriteFileLeavesExactlyTheNewContent) {
  ASSERT_TRUE(rewrite_file(file_, GetParam().next));
  EXPECT_EQ(content(), GetParam().next);
}

TEST_P(RewriteInPlace, EditFileGetsTheOldContentAndLeavesTheNew) {
  std::optional<std::string> seen;
  ASSERT_TRUE(edit_file(file_, 1024, [&](const std::optional<std::string>& old) {
    seen = old;
    return GetParam().next;
  }));
  EXPECT_EQ(seen, GetParam().old.value_or(""));  // a missing file is created empty
  EXPECT_EQ(content(), GetParam().next);
}

INSTANTIATE_TEST_SUITE_P(
    Lengths, RewriteInPlace,
    testing::Values(RewriteCase{"Missing", std::nullopt, "{\"b\": 1}"},
                    RewriteCase{"OldLonger", "{\"a\": 1234567890}", "{\"b\": 1}"},
                    RewriteCase{"OldShorter", "{\"a\": 1}", "{\"b\": 1234567890}"},
                    RewriteCase{"SameLength", "{\"a\": 1}", "{\"b\": 2}"},
                    RewriteCase{"FromEmpty", "", "{}"}, RewriteCase{"ToEmpty", "{}", ""}),
    testing_support::CaseName());

TEST(EditFile, PassesNothingForAFileOverTheBound) {
  testing_support::TempDir scratch;
  const Path file = scratch.path / "large.json";
  ASSERT_TRUE(write_file(file, std::string(100, 'x')));
  bool called = false;
  ASSERT_TRUE(edit_file(file, 99, [&](const std::optional<std::string>& old) {
    called = true;
    EXPECT_EQ(old, std::nullopt);
    return std::string("{}");
  }));
  EXPECT_TRUE(called);
  EXPECT_EQ(read_file(file).value_or("<unreadable>"), "{}");
}

TEST(EditFile, LeavesWhatIsNoRegularFileAlone) {
  testing_support::TempDir scratch;
  const Path dir = scratch.path / "dir.json";
  std::filesystem::create_directory(dir);
  bool called = false;
  const auto edited = edit_file(dir, 1024, [&](const auto&) {
    called = true;
    return std::string("{}");
  });
  ASSERT_FALSE(edited);
  EXPECT_EQ(edited.error().text, kNotRegularFile);
  EXPECT_FALSE(called);
  EXPECT_TRUE(std::filesystem::is_directory(dir));
}

// Between its two system calls a rewrite leaves the longer of the two
// contents' lengths: the new content padded with spaces (or the old one
// followed by spaces).  Both heartbeat files must read so as their content.
TEST(RewritePadding, PaddedHeartbeatFilesReadAsTheirContent) {
  const HeartbeatTable table = {{"chrome", {1700000000000, "id", "1.0"}},
                                {"edge", {1700000000001, "id", "legacy"}}};
  const std::string legacy = legacy_heartbeat_text(HeartbeatFacts{std::nullopt, "id", "2.0.1"},
                                                   BrowserKey::kEdge, 1700000000001);
  const auto legacy_value = parse_json(legacy);
  ASSERT_TRUE(legacy_value);
  for (const std::size_t spaces : {1, 7, 300}) {
    SCOPED_TRACE(spaces);
    const std::string padding(spaces, ' ');
    EXPECT_EQ(read_heartbeat_table(heartbeat_table_text(table) + padding), table);
    const auto padded_legacy = parse_json(legacy + padding);
    ASSERT_TRUE(padded_legacy) << padded_legacy.error().text;
    EXPECT_EQ(*padded_legacy, *legacy_value);
  }
}

}  // namespace
}  // namespace qlx
