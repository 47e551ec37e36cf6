// A per-browser heartbeat file that another program holds with a share mode
// that refuses the host (Windows enforces them, and so does Wine) keeps its
// entries: the host leaves it alone for that message.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "base/json.h"
#include "identity/heartbeats.h"
#include "platform/fs.h"
#include "support/case_name.h"
#include "support/temp_dir.h"

namespace qlx {
namespace {

struct ShareCase {
  const char* name;
  DWORD share;  // what the other program lets others do
};

class HeldPerBrowserFile : public testing::TestWithParam<ShareCase> {};

std::uint64_t clock_at_170() {
  return 170;
}

TEST_P(HeldPerBrowserFile, KeepsItsEntries) {
  const testing_support::TempDir scratch;
  const Path per_browser = scratch.path / "extension-heartbeats-v2.json";
  const std::string before = R"({"chrome":[1,"a","b"]})";
  ASSERT_TRUE(write_file(per_browser, before));
  const HANDLE held =
      CreateFileW(per_browser.c_str(), GENERIC_READ | GENERIC_WRITE, GetParam().share, nullptr,
                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  const auto message = parse_message(R"({"type":"ping"})");
  record_heartbeats_in(scratch.path, *message, BrowserKey::kEdge, &clock_at_170);
  CloseHandle(held);

  EXPECT_EQ(read_file(per_browser).value_or("<unreadable>"), before);
  const auto legacy = parse_json(read_file(scratch.path / "extension-heartbeat.json").value_or(""));
  ASSERT_TRUE(legacy) << legacy.error().text;
  EXPECT_EQ(legacy->value("browser_id", ""), "edge");
}

INSTANTIATE_TEST_SUITE_P(ShareModes, HeldPerBrowserFile,
                         testing::Values(ShareCase{"WritableButNotReadable", FILE_SHARE_WRITE},
                                         ShareCase{"ReadableButNotWritable", FILE_SHARE_READ},
                                         ShareCase{"NotShared", 0}),
                         testing_support::CaseName());

}  // namespace
}  // namespace qlx
