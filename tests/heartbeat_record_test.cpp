// Recording one message in the heartbeat files of a scratch data directory.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>

#include "base/json.h"
#include "identity/heartbeats.h"
#include "platform/clock.h"
#include "platform/file_lock.h"
#include "support/case_name.h"
#include "support/temp_dir.h"

namespace qlx {
namespace {

using enum BrowserKey;

std::uint64_t clock_at_170() {
  return 170;
}

class HeartbeatFiles : public testing::Test {
 protected:
  void record(const char* message_text, std::optional<BrowserKey> browser) {
    const auto message = parse_message(message_text);
    ASSERT_TRUE(message) << message.error().text;
    record_heartbeats_in(dir_, *message, browser, &clock_at_170);
  }
  Path legacy() const { return dir_ / "extension-heartbeat.json"; }
  Path per_browser() const { return dir_ / "extension-heartbeats-v2.json"; }
  std::string content(const Path& file) const { return read_file(file).value_or("<missing>"); }

  testing_support::TempDir scratch_;
  Path dir_ = scratch_.path;
};

std::string legacy_text(const char* browser, const char* id, const char* version,
                        const char* source, const char* timestamp = "170") {
  return std::string("{\n  \"browser_id\": ") + browser + ",\n  \"extension_id\": " + id +
         ",\n  \"extension_version\": " + version + ",\n  \"source\": " + source +
         ",\n  \"timestamp_ms\": " + timestamp + "\n}";
}

std::string entry_text(const char* name, const char* timestamp, const char* id,
                       const char* version) {
  return std::string("  \"") + name + "\": {\n    \"timestamp_ms\": " + timestamp +
         ",\n    \"extension_id\": \"" + id + "\",\n    \"extension_version\": \"" + version +
         "\"\n  }";
}

constexpr const char* kId = "kbmhoaelpgdjcnfiebkalmcgopdhjnie";

TEST_F(HeartbeatFiles, MessageWithoutMembersOrBrowserWritesOnlyTheLegacyFile) {
  record("{}", std::nullopt);
  EXPECT_EQ(content(legacy()),
            legacy_text("null", "\"kbmhoaelpgdjcnfiebkalmcgopdhjnie\"", "null", "null"));
  EXPECT_FALSE(std::filesystem::exists(per_browser()));
}

TEST_F(HeartbeatFiles, BothFilesByteForByte) {
  record(
      R"({"type":"ping","source":"Mozilla Edg/1","extension_id":"abc","extension_version":"2.0.1"})",
      kEdge);
  EXPECT_EQ(content(legacy()),
            legacy_text("\"edge\"", "\"abc\"", "\"2.0.1\"", "\"Mozilla Edg/1\""));
  EXPECT_EQ(content(per_browser()), "{\n" + entry_text("edge", "170", "abc", "2.0.1") + "\n}");
}

struct FactsCase {
  const char* name;
  const char* message;
  const char* legacy_id;       // as written in the legacy file
  const char* legacy_version;  // as written in the legacy file
  const char* legacy_source;
  const char* entry_id;
  const char* entry_version;
};

class HeartbeatMembers : public HeartbeatFiles, public testing::WithParamInterface<FactsCase> {};

TEST_P(HeartbeatMembers, TakeStringMembersOnly) {
  const FactsCase& c = GetParam();
  record(c.message, kChrome);
  EXPECT_EQ(content(legacy()),
            legacy_text("\"chrome\"", c.legacy_id, c.legacy_version, c.legacy_source));
  EXPECT_EQ(content(per_browser()),
            "{\n" + entry_text("chrome", "170", c.entry_id, c.entry_version) + "\n}");
}

INSTANTIATE_TEST_SUITE_P(
    Messages, HeartbeatMembers,
    testing::Values(
        FactsCase{"NoVersionIsLegacy", R"({"extension_id":"x"})", "\"x\"", "null", "null", "x",
                  "legacy"},
        FactsCase{"NumberVersionIsMissing", R"({"extension_version":2})",
                  "\"kbmhoaelpgdjcnfiebkalmcgopdhjnie\"", "null", "null", kId, "legacy"},
        FactsCase{"NumberIdGivesTheDefault", R"({"extension_id":42,"extension_version":"1"})",
                  "\"kbmhoaelpgdjcnfiebkalmcgopdhjnie\"", "\"1\"", "null", kId, "1"},
        FactsCase{"EmptyIdIsKept", R"({"extension_id":"","extension_version":""})", "\"\"", "\"\"",
                  "null", "", ""},
        FactsCase{"SourceAsReceived", R"({"source":"QLX-Extension:Chrome:\t"})",
                  "\"kbmhoaelpgdjcnfiebkalmcgopdhjnie\"", "null", "\"QLX-Extension:Chrome:\\t\"",
                  kId, "legacy"},
        FactsCase{"ArrayHasNoMembers", R"([{"extension_id":"x"}])",
                  "\"kbmhoaelpgdjcnfiebkalmcgopdhjnie\"", "null", "null", kId, "legacy"}),
    testing_support::CaseName());

TEST_F(HeartbeatFiles, AnotherBrowsersEntryIsKeptUnchanged) {
  const std::string chrome = entry_text("chrome", "160", kId, "legacy");
  const std::string custom = entry_text("Custom Name", "5", "i", "v");
  ASSERT_TRUE(write_file(per_browser(), "{\n" + custom + ",\n" + chrome + "\n}"));
  record(R"({"extension_version":"2.0.1"})", kEdge);
  EXPECT_EQ(content(per_browser()), "{\n" + custom + ",\n" + chrome + ",\n" +
                                        entry_text("edge", "170", kId, "2.0.1") + "\n}");
}

TEST_F(HeartbeatFiles, OwnEntryIsReplacedAndOtherFormsAreRewritten) {
  ASSERT_TRUE(write_file(
      per_browser(),
      R"({"edge":{"timestamp_ms":1,"extension_id":"old","extension_version":"0","extra":true},)"
      R"("opera":[7,"o","9"]})"));
  record(R"({"extension_id":"new"})", kEdge);
  EXPECT_EQ(content(per_browser()), "{\n" + entry_text("edge", "170", "new", "legacy") + ",\n" +
                                        entry_text("opera", "7", "o", "9") + "\n}");
}

TEST_F(HeartbeatFiles, UnreadableTableStartsAfresh) {
  const std::string fresh = "{\n" + entry_text("vivaldi", "170", kId, "legacy") + "\n}";
  const std::string valid_chrome = "\"chrome\":[1,\"a\",\"b\"]";
  for (const std::string& broken : {
           std::string(""), std::string("  \n"), "\xEF\xBB\xBF{" + valid_chrome + "}",
           "{" + valid_chrome + "} x",
           "{" + valid_chrome + ",\"edge\":{\"timestamp_ms\":1,\"extension_id\":\"a\"}}",
           "{" + valid_chrome + ",\"edge\":[-1,\"a\",\"b\"]}",
           "{" + valid_chrome + ",\"edge\":[1.5,\"a\",\"b\"]}",
           "{" + valid_chrome + ",\"edge\":[null,\"a\",\"b\"]}",
           "{" + valid_chrome + ",\"edge\":[1,\"\xFF\",\"b\"]}",  // not UTF-8
       }) {
    SCOPED_TRACE(broken);
    ASSERT_TRUE(write_file(per_browser(), broken));
    record("{}", kVivaldi);
    EXPECT_EQ(content(per_browser()), fresh);
  }
}

TEST_F(HeartbeatFiles, UnwritableLegacyFileLeavesThePerBrowserFileAlone) {
  const std::string before = "{\"chrome\":[1,\"a\",\"b\"]}";
  ASSERT_TRUE(write_file(per_browser(), before));
  std::filesystem::create_directory(legacy());  // nothing can write a file there
  record("{}", kEdge);
  EXPECT_EQ(content(per_browser()), before);
}

TEST_F(HeartbeatFiles, UnwritablePerBrowserFileStillWritesTheLegacyFile) {
  std::filesystem::create_directory(per_browser());
  record("{}", kEdge);
  EXPECT_EQ(content(legacy()),
            legacy_text("\"edge\"", "\"kbmhoaelpgdjcnfiebkalmcgopdhjnie\"", "null", "null"));
}

TEST_F(HeartbeatFiles, ClockBefore1970IsZero) {
  const auto message = parse_message("{}");
  // The system clock read 1969-12-31T00:00:00Z.
  record_heartbeats_in(dir_, *message, kOpera, [] { return posix_time_to_unix_ms(-86'400, 0); });
  EXPECT_EQ(content(legacy()),
            legacy_text("\"opera\"", "\"kbmhoaelpgdjcnfiebkalmcgopdhjnie\"", "null", "null", "0"));
  EXPECT_EQ(content(per_browser()), "{\n" + entry_text("opera", "0", kId, "legacy") + "\n}");
}

TEST_F(HeartbeatFiles, LockHeldElsewhereSkipsTheStepAfterAboutASecond) {
  auto held = lock_file(dir_ / "extension-heartbeats.lock", std::chrono::milliseconds(0));
  ASSERT_EQ(held.outcome, LockOutcome::kLocked) << held.failure.text;
  const auto start = std::chrono::steady_clock::now();
  record("{}", kEdge);
  const auto waited = std::chrono::steady_clock::now() - start;
  EXPECT_GE(waited, std::chrono::milliseconds(900));
  EXPECT_LT(waited, std::chrono::milliseconds(3000));
  EXPECT_FALSE(std::filesystem::exists(legacy()));
  EXPECT_FALSE(std::filesystem::exists(per_browser()));
}

}  // namespace
}  // namespace qlx
