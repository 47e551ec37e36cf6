// open_app through the real host: which executable beside the host it starts,
// and how the started download manager finds itself.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "host/frame.h"
#include "support/case_name.h"
#include "support/host_session.h"
#include "support/stand_in.h"

namespace qlx {
namespace {

using testing_support::HostSession;
using testing_support::kManagerNames;
using testing_support::ManagerInstall;

constexpr const char* kLaunched = R"({"launched":true,"ok":true})";
constexpr const char* kNotLaunched = R"({"launched":false,"ok":true})";

/// Stand-ins that look for no request and end at once.
const std::vector<EnvChange> kQuickExit{{"QLX_STAND_IN_WATCH_MS", "0"}};

enum class Entry { kNone, kProgram, kDirectory };

struct CandidateCase {
  const char* name;
  Entry first;   // "velmont-download-manager.exe"
  Entry second;  // "Velmont Download Manager.exe"
  int started;   // index of the name that runs, or -1
  friend void PrintTo(const CandidateCase& c, std::ostream* out) { *out << c.name; }
};

class OpenAppCandidates : public testing::TestWithParam<CandidateCase> {};

TEST_P(OpenAppCandidates, StartsTheFirstThatRuns) {
  const CandidateCase& c = GetParam();
  ManagerInstall install;
  const Entry entries[] = {c.first, c.second};
  for (std::size_t i = 0; i < kManagerNames.size(); ++i) {
    if (entries[i] == Entry::kProgram) install.add_manager(kManagerNames[i]);
    if (entries[i] == Entry::kDirectory) {
      std::filesystem::create_directory(install.host_dir / Path(kManagerNames[i]));
    }
  }
  const auto run =
      testing_support::run_host(frame_bytes(R"({"type":"open_app"})"), install.options(kQuickExit));
  EXPECT_EQ(run.replies(), std::vector<std::string>{c.started < 0 ? kNotLaunched : kLaunched});
  EXPECT_EQ(run.errors, "");
  EXPECT_EQ(run.exit_code, 0);
  if (c.started < 0) return;
  ASSERT_TRUE(install.wait_for_exits(1));
  const auto started = install.started();
  ASSERT_EQ(started.size(), 1u) << "exactly one process per open_app";
  const Path expected = install.host_dir / Path(kManagerNames[c.started]);
  EXPECT_EQ(started[0]["argv"], Json::array({path_to_utf8(expected)}));
}

INSTANTIATE_TEST_SUITE_P(
    Arrangements, OpenAppCandidates,
    testing::Values(CandidateCase{"Neither", Entry::kNone, Entry::kNone, -1},
                    CandidateCase{"OnlyFirst", Entry::kProgram, Entry::kNone, 0},
                    CandidateCase{"OnlySecond", Entry::kNone, Entry::kProgram, 1},
                    CandidateCase{"BothStartsFirstOnly", Entry::kProgram, Entry::kProgram, 0},
                    CandidateCase{"DirectoryUnderFirstName", Entry::kDirectory, Entry::kProgram, 1},
                    CandidateCase{"DirectoriesOnly", Entry::kDirectory, Entry::kDirectory, -1}),
    testing_support::CaseName());

TEST(OpenApp, DoesNotSearchTheWorkingDirectory) {
  ManagerInstall install;
  const Path elsewhere = install.temp.path / "elsewhere";
  for (const auto name : kManagerNames) install.add_manager(name, elsewhere);
  auto options = install.options(kQuickExit);
  options.working_dir = elsewhere;
  const auto run = testing_support::run_host(
      frame_bytes(R"({"type":"open_app","path":"elsewhere","extra":[1]})"), options);
  EXPECT_EQ(run.replies(), std::vector<std::string>{kNotLaunched});
  EXPECT_EQ(run.exit_code, 0);
  EXPECT_EQ(install.started().size(), 0u);
}

TEST(OpenApp, StartedManagerHasNoArgumentTheHostsWorkingDirectoryAndNullStreams) {
  ManagerInstall install;
  install.add_manager(kManagerNames[0]);
  auto options = install.options(kQuickExit);  // reaching the stand-in proves the environment
  options.working_dir = install.temp.path / "work";
  std::filesystem::create_directory(options.working_dir);
  const Json record = install.open_app_record(options);
  ASSERT_TRUE(record.is_object());
  const Path program = install.host_dir / Path(kManagerNames[0]);
  EXPECT_EQ(record["argv"], Json::array({path_to_utf8(program)}));
  EXPECT_TRUE(std::filesystem::equivalent(
      testing_support::path_from_utf8(record["cwd"].get<std::string>()), options.working_dir));
  EXPECT_EQ(record["stdin"], "null");
  EXPECT_EQ(record["stdout"], "null");
  EXPECT_EQ(record["stderr"], "null");
  testing_support::expect_platform_start_facts(record, program);
}

}  // namespace
}  // namespace qlx
