// Paths below the data directory and the creation of directory trees.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "platform/known_folder.h"
#include "store/data_dir.h"
#include "store/join_path.h"
#include "support/host_session.h"
#include "support/scoped_env.h"
#include "support/temp_dir.h"

namespace qlx {
namespace {

using ScratchDir = testing_support::TempDir;

TEST(JoinPath, InsertsOneSeparator) {
  const std::string sep(1, static_cast<char>(Path::preferred_separator));
  EXPECT_EQ(join_path(Path("base"), "Velmont").string(), "base" + sep + "Velmont");
  EXPECT_EQ(join_path(Path("base" + sep), "Velmont").string(), "base" + sep + "Velmont");
  EXPECT_EQ(join_path(Path("base/"), "QLX").string(), "base/QLX");
}

TEST(DataDir, SubdirectoriesHangBelowTheDataDirectory) {
  ScratchDir scratch;
  const testing_support::ScopedEnv env(testing_support::local_app_data_env(scratch.path));
  const auto folder = local_app_data_folder();
  ASSERT_TRUE(folder) << folder.error().text;
  EXPECT_EQ(*folder, scratch.path);
  const auto dir = data_dir();
  ASSERT_TRUE(dir) << dir.error().text;
  EXPECT_EQ(*dir, join_path(join_path(*folder, "Velmont"), "QLX"));
  EXPECT_EQ(*browser_transfers_dir(), join_path(*dir, "browser-transfers"));
  EXPECT_EQ(*inbox_dir(), join_path(*dir, "inbox"));
  EXPECT_EQ(*inbox_results_dir(), join_path(*dir, "inbox-results"));
}

TEST(DataDir, WithoutALocalApplicationDataFolderEveryPathFails) {
  const testing_support::ScopedEnv env(testing_support::no_local_app_data_env());
  const std::pair<const char*, Result<Path>> paths[] = {
      {"data_dir", data_dir()},
      {"browser_transfers_dir", browser_transfers_dir()},
      {"inbox_dir", inbox_dir()},
      {"inbox_results_dir", inbox_results_dir()},
  };
  for (const auto& [name, path] : paths) {
    ASSERT_FALSE(path) << name << " gave " << path->string();
    EXPECT_EQ(path.error().text, "No local data directory") << name;
  }
}

TEST(EnsureDir, CreatesEveryMissingParentAndAcceptsExistingOnes) {
  ScratchDir scratch;
  const Path deep = scratch.path / "a" / "b" / "c" / "d";
  ASSERT_TRUE(ensure_dir(deep));
  EXPECT_TRUE(std::filesystem::is_directory(deep));
  const Path marker = deep / "kept";
  std::filesystem::create_directory(marker);
  ASSERT_TRUE(ensure_dir(deep));  // existing: success, nothing changed
  EXPECT_TRUE(std::filesystem::is_directory(marker));
  ASSERT_TRUE(ensure_dir(Path()));
  Path trailing = scratch.path / "e" / "";
  ASSERT_TRUE(ensure_dir(trailing));
  EXPECT_TRUE(std::filesystem::is_directory(scratch.path / "e"));
}

TEST(EnsureDir, AFileInTheWayGivesTheSystemText) {
  ScratchDir scratch;
  const Path file = scratch.path / "file";
  ASSERT_TRUE(write_file(file, "x"));
  const auto at_file = ensure_dir(file);
  ASSERT_FALSE(at_file);
  EXPECT_TRUE(at_file.error().text.ends_with(")")) << at_file.error().text;
  EXPECT_NE(at_file.error().text.find(" (os error "), std::string::npos) << at_file.error().text;
  const auto below_file = ensure_dir(file / "sub" / "dir");
  ASSERT_FALSE(below_file);
  EXPECT_NE(below_file.error().text.find(" (os error "), std::string::npos)
      << below_file.error().text;
}

TEST(EnsureDir, ConcurrentCreatorsOfOneTreeAllSucceed) {
  for (int round = 0; round < 20; ++round) {
    ScratchDir scratch;
    Path deep = scratch.path;
    for (int level = 0; level < 12; ++level) deep /= "level" + std::to_string(level);
    std::vector<int> ok(8, 0);
    std::vector<std::thread> creators;
    for (std::size_t i = 0; i < ok.size(); ++i) {
      creators.emplace_back([&, i] { ok[i] = ensure_dir(deep).has_value() ? 1 : 0; });
    }
    for (auto& creator : creators) creator.join();
    EXPECT_EQ(ok, std::vector<int>(ok.size(), 1)) << "round " << round;
  }
}

}  // namespace
}  // namespace qlx
