// Where Linux keeps the local application-data folder.
#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>

#include "platform/known_folder.h"
#include "store/data_dir.h"
#include "support/case_name.h"

namespace qlx {
namespace {

/// Sets or removes one variable for the life of the record.
struct ScopedEnv {
  std::string name;
  std::optional<std::string> saved;
  ScopedEnv(const char* variable, const char* value) : name(variable) {
    if (const char* old = std::getenv(variable)) saved = old;
    if (value) {
      ::setenv(variable, value, 1);
    } else {
      ::unsetenv(variable);
    }
  }
  ~ScopedEnv() {
    if (saved) {
      ::setenv(name.c_str(), saved->c_str(), 1);
    } else {
      ::unsetenv(name.c_str());
    }
  }
};

struct FolderCase {
  const char* name;
  const char* xdg_data_home;  // nullptr: unset
  const char* home;
  const char* data_dir;  // nullptr: "No local data directory"
};

class LinuxDataDir : public testing::TestWithParam<FolderCase> {};

TEST_P(LinuxDataDir, FollowsXdgThenHome) {
  const FolderCase& c = GetParam();
  ScopedEnv xdg("XDG_DATA_HOME", c.xdg_data_home);
  ScopedEnv home("HOME", c.home);
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
  const auto base = std::filesystem::temp_directory_path() / "qlx-private-test";
  std::filesystem::remove_all(base);
  ScopedEnv xdg("XDG_DATA_HOME", base.c_str());
  const auto dir = data_dir();
  ASSERT_TRUE(dir);
  ASSERT_TRUE(ensure_dir(*dir));
  for (const Path& created : {base, base / "Velmont", *dir}) {
    EXPECT_EQ(std::filesystem::status(created).permissions(), std::filesystem::perms::owner_all)
        << created;
  }
  std::filesystem::remove_all(base);
}

}  // namespace
}  // namespace qlx
