// Reading and writing the per-browser heartbeat file.
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "identity/heartbeat_table.h"
#include "support/case_name.h"

namespace qlx {
namespace {

constexpr const char* kId = "kbmhoaelpgdjcnfiebkalmcgopdhjnie";

struct ReadCase {
  const char* name;
  std::string text;
  std::optional<HeartbeatTable> expected;  // nullopt: the table starts afresh
};

class ReadHeartbeatTable : public testing::TestWithParam<ReadCase> {};

TEST_P(ReadHeartbeatTable, FollowsTheReadingRules) {
  const ReadCase& c = GetParam();
  EXPECT_EQ(read_heartbeat_table(c.text), c.expected);
}

HeartbeatTable chrome_only() {
  return {{"chrome", {160, kId, "1.0"}}};
}

const std::string kChromeEntry =
    R"("chrome": {"timestamp_ms": 160, "extension_id": "kbmhoaelpgdjcnfiebkalmcgopdhjnie", "extension_version": "1.0"})";

INSTANTIATE_TEST_SUITE_P(
    Files, ReadHeartbeatTable,
    testing::Values(
        ReadCase{"EmptyObject", "{}", HeartbeatTable{}},
        ReadCase{"OneEntry", "{" + kChromeEntry + "}", chrome_only()},
        ReadCase{"WhiteSpaceAround", " \t\r\n{" + kChromeEntry + "}\n\n", chrome_only()},
        ReadCase{
            "FieldsInAnyOrder",
            R"({"chrome":{"extension_version":"1.0","extension_id":"kbmhoaelpgdjcnfiebkalmcgopdhjnie","timestamp_ms":160}})",
            chrome_only()},
        ReadCase{
            "ExtraMembersIgnored",
            R"({"chrome":{"timestamp_ms":160,"x":[{"y":"}"}],"extension_id":"kbmhoaelpgdjcnfiebkalmcgopdhjnie","extension_version":"1.0","z":null}})",
            chrome_only()},
        ReadCase{"ArrayEntry", R"({"chrome":[160,"kbmhoaelpgdjcnfiebkalmcgopdhjnie","1.0"]})",
                 chrome_only()},
        ReadCase{"LargestTimestamp", R"({"e":[18446744073709551615,"",""]})",
                 HeartbeatTable{{"e", {18446744073709551615ull, "", ""}}}},
        ReadCase{"LaterEntryWins",
                 R"({"edge":[1,"a","b"],"chrome":[5,"x","y"],"edge":[2,"c","d"]})",
                 HeartbeatTable{{"edge", {2, "c", "d"}}, {"chrome", {5, "x", "y"}}}},
        ReadCase{"NamesAreExact", R"({"Edge":[1,"a","b"],"edge":[2,"a","b"]})",
                 HeartbeatTable{{"Edge", {1, "a", "b"}}, {"edge", {2, "a", "b"}}}},
        ReadCase{
            "EscapedNames",
            R"({"ch\"rome\u00e9":{"timestamp\u005fms":1,"extension_id":"a","extension_version":"b"}})",
            HeartbeatTable{{"ch\"rome\xC3\xA9", {1, "a", "b"}}}},
        ReadCase{"Empty", "", std::nullopt}, ReadCase{"WhiteSpaceOnly", " \n", std::nullopt},
        ReadCase{"ByteOrderMark", "\xEF\xBB\xBF{}", std::nullopt},
        ReadCase{"TextAfterTheObject", "{} x", std::nullopt},
        ReadCase{"SecondValue", "{}{}", std::nullopt},
        ReadCase{"TopLevelArray", "[]", std::nullopt},
        ReadCase{"EntryIsAString", R"({"chrome":"x"})", std::nullopt},
        ReadCase{"EntryIsNull", R"({"chrome":null})", std::nullopt},
        ReadCase{"MissingVersion", R"({"chrome":{"timestamp_ms":1,"extension_id":"a"}})",
                 std::nullopt},
        ReadCase{"NullVersion",
                 R"({"chrome":{"timestamp_ms":1,"extension_id":"a","extension_version":null}})",
                 std::nullopt},
        ReadCase{"NegativeTimestamp", R"({"chrome":[-1,"a","b"]})", std::nullopt},
        ReadCase{"FractionTimestamp", R"({"chrome":[1.5,"a","b"]})", std::nullopt},
        ReadCase{"WholeFractionTimestamp", R"({"chrome":[1.0,"a","b"]})", std::nullopt},
        ReadCase{"ExponentTimestamp", R"({"chrome":[1e3,"a","b"]})", std::nullopt},
        ReadCase{"NullTimestamp", R"({"chrome":[null,"a","b"]})", std::nullopt},
        ReadCase{"TimestampTooLarge", R"({"chrome":[18446744073709551616,"a","b"]})", std::nullopt},
        ReadCase{"StringTimestamp", R"({"chrome":["1","a","b"]})", std::nullopt},
        ReadCase{"NumberId", R"({"chrome":[1,2,"b"]})", std::nullopt},
        ReadCase{"ShortArray", R"({"chrome":[1,"a"]})", std::nullopt},
        ReadCase{"LongArray", R"({"chrome":[1,"a","b","c"]})", std::nullopt},
        ReadCase{
            "FieldTwice",
            R"({"chrome":{"timestamp_ms":1,"timestamp_ms":2,"extension_id":"a","extension_version":"b"}})",
            std::nullopt},
        ReadCase{
            "EscapedFieldTwice",
            R"({"chrome":{"timestamp_ms":1,"timestamp\u005fms":2,"extension_id":"a","extension_version":"b"}})",
            std::nullopt},
        ReadCase{
            "OtherMemberTwice",
            R"({"chrome":{"x":1,"timestamp_ms":160,"x":2,"extension_id":"kbmhoaelpgdjcnfiebkalmcgopdhjnie","extension_version":"1.0"}})",
            chrome_only()},
        ReadCase{
            "FieldTwiceDeeperIgnored",
            R"({"chrome":{"x":{"timestamp_ms":1,"timestamp_ms":2},"timestamp_ms":160,"extension_id":"kbmhoaelpgdjcnfiebkalmcgopdhjnie","extension_version":"1.0"}})",
            chrome_only()},
        ReadCase{
            "FieldTwiceInAReplacedEntry",
            R"({"chrome":{"timestamp_ms":1,"timestamp_ms":2,"extension_id":"a","extension_version":"b"},"chrome":[1,"a","b"]})",
            std::nullopt},
        ReadCase{"BadEntryReplacedLaterStillBreaks", R"({"chrome":5,"chrome":[1,"a","b"]})",
                 std::nullopt},
        ReadCase{
            "MalformedIgnoredMember",
            R"({"chrome":{"timestamp_ms":1,"extension_id":"a","extension_version":"b","x":01}})",
            std::nullopt},
        ReadCase{"TrailingComma", R"({"chrome":[1,"a","b"],})", std::nullopt}),
    testing_support::CaseName());

TEST(HeartbeatTableText, EntriesKeepTheirFieldOrder) {
  const HeartbeatTable table{{"edge", {170, kId, "2.0.1"}}, {"chrome", {160, kId, "legacy"}}};
  EXPECT_EQ(heartbeat_table_text(table),
            "{\n"
            "  \"chrome\": {\n"
            "    \"timestamp_ms\": 160,\n"
            "    \"extension_id\": \"kbmhoaelpgdjcnfiebkalmcgopdhjnie\",\n"
            "    \"extension_version\": \"legacy\"\n"
            "  },\n"
            "  \"edge\": {\n"
            "    \"timestamp_ms\": 170,\n"
            "    \"extension_id\": \"kbmhoaelpgdjcnfiebkalmcgopdhjnie\",\n"
            "    \"extension_version\": \"2.0.1\"\n"
            "  }\n"
            "}");
  EXPECT_EQ(heartbeat_table_text({}), "{}");
}

TEST(HeartbeatTableText, EscapesAndReadsBack) {
  const HeartbeatTable table{{"we\"ird\x01", {18446744073709551615ull, "a\\b\tc", "\xC3\xA9/"}}};
  const std::string text = heartbeat_table_text(table);
  EXPECT_NE(text.find(R"("we\"ird\u0001": {)"), std::string::npos) << text;
  EXPECT_NE(text.find(R"("extension_id": "a\\b\tc",)"), std::string::npos) << text;
  EXPECT_NE(text.find("\"extension_version\": \"\xC3\xA9/\""), std::string::npos) << text;
  EXPECT_EQ(read_heartbeat_table(text), table);
}

}  // namespace
}  // namespace qlx
