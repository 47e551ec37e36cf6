// Where Linux keeps the local application-data folder.
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "platform/known_folder.h"
#include "store/data_dir.h"
#include "support/case_name.h"
#include "support/scoped_env.h"
#include "support/temp_dir.h"

namespace qlx {
namespace {

using testing_support::ScopedEnv;

/// nullptr: unset.
std::optional<std::string> value_of(const char* text) {
  if (text == nullptr) return std::nullopt;
  return std::string(text);
}

struct FolderCase {
  const char* name;
  const char* xdg_data_home;  // nullptr: unset
  const char* home;
  const char* data_dir;  // nullptr: "No local data directory"
};

class LinuxDataDir : public testing::TestWithParam<FolderCase> {};

TEST_P(LinuxDataDir, FollowsXdgThenHome) {
  const FolderCase& c = GetParam();
  const ScopedEnv env({{"XDG_DATA_HOME", value_of(c.xdg_data_home)}, {"HOME", value_of(c.home)}});
  const auto dir = data_dir();
  if (c.data_dir == nullptr) {
    ASSERT_FALSE(dir);
    EXPECT_EQ(dir.error().text, "No local data directory");
  } else {
    ASSERT_TRUE(dir) << dir.error().text;
    EXPECT_EQ(dir->native(), c.data_dir);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Environments, LinuxDataDir,
    testing::Values(
        FolderCase{"Xdg", "/x/data", "/home/u", "/x/data/Velmont/QLX"},
        FolderCase{"XdgWithSlash", "/x/data/", "/home/u", "/x/data/Velmont/QLX"},
        FolderCase{"RelativeXdgIgnored", "x/data", "/home/u", "/home/u/.local/share/Velmont/QLX"},
        FolderCase{"EmptyXdgIgnored", "", "/home/u/", "/home/u/.local/share/Velmont/QLX"},
        FolderCase{"HomeOnly", nullptr, "/home/u", "/home/u/.local/share/Velmont/QLX"},
        FolderCase{"RootHome", nullptr, "/", "/.local/share/Velmont/QLX"},
        FolderCase{"Neither", nullptr, nullptr, nullptr},
        FolderCase{"RelativeHome", nullptr, "home", nullptr},
        FolderCase{"EmptyBoth", "", "", nullptr}),
    testing_support::CaseName());

TEST(LinuxDataDir, CreatedDirectoriesArePrivate) {
  const testing_support::TempDir scratch;
  const Path base = scratch.path / "data";
  const ScopedEnv xdg("XDG_DATA_HOME", base.string());
  const auto dir = data_dir();
  ASSERT_TRUE(dir);
  ASSERT_TRUE(ensure_dir(*dir));
  for (const Path& created : {base, base / "Velmont", *dir}) {
    EXPECT_EQ(std::filesystem::status(created).permissions(), std::filesystem::perms::owner_all)
        << created;
  }
}

}  // namespace
}  // namespace qlx
