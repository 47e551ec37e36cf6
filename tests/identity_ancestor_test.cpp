// The start-up walk over a list of processes, and the lists the system gives.
#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "identity/ancestor_browser.h"
#include "platform/process_list.h"
#include "support/case_name.h"

namespace qlx {
namespace {

using enum BrowserKey;

struct WalkCase {
  const char* name;
  std::vector<ProcessEntry> processes;  // the host is process 100
  std::optional<BrowserKey> expected;
};

/// Process 100 (the host) under a chain of `names`, nearest ancestor first:
/// ancestor i has id 101 + i.
std::vector<ProcessEntry> chain(std::vector<std::string> names) {
  std::vector<ProcessEntry> processes{{100, 101, "qlx-native-host.exe"}};
  for (std::uint32_t i = 0; i < names.size(); ++i) {
    processes.push_back({101 + i, 102 + i, names[i]});
  }
  return processes;
}

/// `chain` with a browser as ancestor number `level` (1 is the parent).
std::vector<ProcessEntry> browser_at(std::size_t level) {
  std::vector<std::string> names(level + 1, "explorer.exe");
  names[level - 1] = "chrome.exe";
  return chain(names);
}

class AncestorWalk : public testing::TestWithParam<WalkCase> {};

TEST_P(AncestorWalk, FindsTheNearestBrowserAncestor) {
  const WalkCase& c = GetParam();
  EXPECT_EQ(ancestor_browser(100, c.processes), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Chains, AncestorWalk,
    testing::Values(
        WalkCase{"EmptyList", {}, std::nullopt},
        WalkCase{"Parent", chain({"chrome.exe", "explorer.exe"}), kChrome},
        WalkCase{"GrandparentBehindAnUnknownParent",
                 chain({"cmd.exe", "chrome.exe", "explorer.exe"}), kChrome},
        WalkCase{"NearestBrowserWins", chain({"msedge.exe", "brave.exe"}), kEdge},
        WalkCase{"Level1", browser_at(1), kChrome}, WalkCase{"Level2", browser_at(2), kChrome},
        WalkCase{"Level3", browser_at(3), kChrome}, WalkCase{"Level4", browser_at(4), kChrome},
        WalkCase{"Level5", browser_at(5), kChrome}, WalkCase{"Level6", browser_at(6), kChrome},
        WalkCase{"Level7", browser_at(7), kChrome}, WalkCase{"Level8", browser_at(8), kChrome},
        WalkCase{"Level9IsTooFar", browser_at(9), std::nullopt},
        WalkCase{"HostMissing", {{101, 102, "chrome.exe"}}, std::nullopt},
        WalkCase{"ParentExitedBelowABrowser",
                 {{100, 101, "host"}, {102, 103, "chrome.exe"}},
                 std::nullopt},
        WalkCase{"ProcessZeroIsStillExamined",
                 {{100, 101, "host"}, {101, 0, "cmd.exe"}, {0, 0, "chrome.exe"}},
                 kChrome},  // process 0 is still examined as a parent
        WalkCase{"ParentIdZeroWithoutMatch",
                 {{100, 101, "host"},
                  {101, 0, "cmd.exe"},
                  {0, 7, "[System Process]"},
                  {7, 8, "x"},
                  {8, 8, "chrome.exe"}},
                 std::nullopt},
        WalkCase{
            "SelfParentEndsTheWalk", {{100, 101, "host"}, {101, 101, "cmd.exe"}}, std::nullopt},
        WalkCase{"CycleEndsAtTheLimit",
                 {{100, 101, "host"}, {101, 102, "a.exe"}, {102, 101, "b.exe"}},
                 std::nullopt},
        WalkCase{
            "HostNameIsNeverExamined", {{100, 101, "chrome.exe"}, {101, 0, "init"}}, std::nullopt},
        WalkCase{"LaterEntryReplacesEarlier",
                 {{100, 101, "host"}, {101, 0, "chrome.exe"}, {101, 0, "cmd.exe"}},
                 std::nullopt},
        WalkCase{"MixedCase", chain({"Chrome.EXE"}), kChrome},
        WalkCase{"SurroundingWhiteSpace", chain({" \t msedge.exe \xE3\x80\x80"}), kEdge},
        WalkCase{"NoBreakSpaceAndLineSeparator", chain({"\xC2\xA0vivaldi\xE2\x80\xA8"}), kVivaldi},
        WalkCase{"OperaGxWithExe", chain({"opera_gx.exe"}), kOpera},
        WalkCase{"OperaGxWithoutExeIsSkipped", chain({"opera_gx", "brave"}), kBrave},
        WalkCase{"WebViewIsNotEdge", chain({"msedgewebview2.exe", "explorer.exe"}), std::nullopt},
        WalkCase{"ChromiumIsChrome", chain({"chromium"}), kChrome}),
    testing_support::CaseName());

TEST(ExecutableNames, AllThirteenNamesAndNothingElse) {
  const std::vector<std::pair<std::string, std::optional<BrowserKey>>> names{
      {"brave", kBrave},           {"brave.exe", kBrave},     {"msedge", kEdge},
      {"msedge.exe", kEdge},       {"vivaldi", kVivaldi},     {"vivaldi.exe", kVivaldi},
      {"opera", kOpera},           {"opera.exe", kOpera},     {"opera_gx.exe", kOpera},
      {"chrome", kChrome},         {"chrome.exe", kChrome},   {"chromium", kChrome},
      {"chromium.exe", kChrome},   {"edge", std::nullopt},    {"opera_gx", std::nullopt},
      {"chrome.ex", std::nullopt}, {"xchrome", std::nullopt}, {"", std::nullopt},
      {"CHROMİUM", std::nullopt},  // only ASCII letters are lowered
  };
  for (const auto& [name, key] : names) {
    SCOPED_TRACE(name);
    EXPECT_EQ(browser_of_executable(name), key);
  }
}

struct StatCase {
  const char* name;
  std::string text;
  std::optional<std::uint32_t> id, parent;
  std::string comm;
};

class ProcStat : public testing::TestWithParam<StatCase> {};

TEST_P(ProcStat, TakesIdNameAndParent) {
  const StatCase& c = GetParam();
  const auto entry = parse_proc_stat(c.text);
  ASSERT_EQ(entry.has_value(), c.id.has_value());
  if (!entry) return;
  EXPECT_EQ(entry->id, *c.id);
  EXPECT_EQ(entry->parent_id, *c.parent);
  EXPECT_EQ(entry->name, c.comm);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, ProcStat,
    testing::Values(StatCase{"Plain", "4321 (chrome) S 4000 4321 4321 0 -1 4194560 123\n", 4321,
                             4000, "chrome"},
                    StatCase{"NameWithParenAndSpaces", "77 (a) b (c) R 1 77 77 0\n", 77, 1,
                             "a) b (c"},
                    StatCase{"ParentZero", "1 (systemd) S 0 1 1 0\n", 1, 0, "systemd"},
                    StatCase{"Truncated", "12 (sh) S", std::nullopt, std::nullopt, ""},
                    StatCase{"NoName", "12 sh S 1 2 3", std::nullopt, std::nullopt, ""},
                    StatCase{"BadParent", "12 (sh) S x1 2", std::nullopt, std::nullopt, ""}),
    testing_support::CaseName());

TEST(ProcessList, ListsThisProcessFirstOnLinuxOrAmongAllOnWindows) {
  const auto processes = list_processes(kAncestorLevels + 1);
  const auto self = std::find_if(processes.begin(), processes.end(), [](const ProcessEntry& p) {
    return p.id == current_process_id();
  });
  ASSERT_NE(self, processes.end());
  EXPECT_TRUE(self->name.starts_with("qlx_tests")) << self->name;
  EXPECT_NE(self->parent_id, self->id);
}

}  // namespace
}  // namespace qlx
