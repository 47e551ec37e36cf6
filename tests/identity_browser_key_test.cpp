// The browser key of each message: ancestry first, then browser_id, then source.
#include <gtest/gtest.h>

#include <optional>

#include "base/json.h"
#include "identity/browser_key.h"
#include "support/case_name.h"

namespace qlx {
namespace {

using enum BrowserKey;

struct KeyCase {
  const char* name;
  const char* message;  // JSON text
  std::optional<BrowserKey> ancestry;
  std::optional<BrowserKey> expected;
};

class ResolveBrowserKey : public testing::TestWithParam<KeyCase> {};

TEST_P(ResolveBrowserKey, Decides) {
  const KeyCase& c = GetParam();
  const auto message = parse_message(c.message);
  ASSERT_TRUE(message) << message.error().text;
  EXPECT_EQ(resolve_browser_key(*message, c.ancestry), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Messages, ResolveBrowserKey,
    testing::Values(
        KeyCase{"AncestryOutranksTheMessage", R"({"browser_id":"edge"})", kBrave, kBrave},
        KeyCase{"AncestryForAnArray", "[1,2]", kOpera, kOpera},
        KeyCase{"NumberHasNoMembers", "5", std::nullopt, std::nullopt},
        KeyCase{"EmptyObject", "{}", std::nullopt, std::nullopt},
        KeyCase{"BrowserIdExact", R"({"browser_id":"chrome"})", std::nullopt, kChrome},
        KeyCase{"BrowserIdCaseAndSpaces", R"({"browser_id":"  Vivaldi\t"})", std::nullopt,
                kVivaldi},
        KeyCase{"BrowserIdUnicodeSpaces", R"({"browser_id":"\u00a0OPERA\u3000"})", std::nullopt,
                kOpera},
        KeyCase{"BrowserIdOutranksSource", R"({"browser_id":"brave","source":"edg/1"})",
                std::nullopt, kBrave},
        KeyCase{"MsedgeFallsThroughToSource", R"({"browser_id":"msedge","source":"vivaldi/6"})",
                std::nullopt, kVivaldi},
        KeyCase{"ChromiumIsNotAnId", R"({"browser_id":"chromium"})", std::nullopt, std::nullopt},
        KeyCase{"NumberIdFallsThrough", R"({"browser_id":5,"source":"Chrome/120"})", std::nullopt,
                kChrome},
        KeyCase{"EmptyId", R"({"browser_id":""})", std::nullopt, std::nullopt},
        KeyCase{"ExtensionMarker", R"({"source":"qlx-extension:edge:2.0"})", std::nullopt, kEdge},
        KeyCase{"OperaMarkerUpperCase", R"({"source":"QLX-EXTENSION:OPERA:1"})", std::nullopt,
                kOpera},
        KeyCase{"EdgeBeforeChrome", R"({"source":"Mozilla Chrome/120 Safari Edg/120"})",
                std::nullopt, kEdge},
        KeyCase{"BraveBeforeChrome", R"({"source":"Chrome/120 Brave/1"})", std::nullopt, kBrave},
        KeyCase{"OperaBeforeChrome", R"({"source":"Chrome/120 OPR/105"})", std::nullopt, kOpera},
        KeyCase{"BraveNeedsItsSpace", R"({"source":"brave/1.0"})", std::nullopt, std::nullopt},
        KeyCase{"SourceNotTrimmed", R"({"source":" qlx-extension:chrome:"})", std::nullopt,
                kChrome},
        KeyCase{"SourceNumber", R"({"source":7})", std::nullopt, std::nullopt},
        KeyCase{"NoMarker", R"({"source":"Firefox/120"})", std::nullopt, std::nullopt}),
    testing_support::CaseName());

TEST(NormalizeBrowserName, TrimsUnicodeWhiteSpaceAndLowersAsciiOnly) {
  EXPECT_EQ(normalize_browser_name("\t\n\v\f\r \xC2\x85"
                                   "Ab\xC3\x84 c\xE2\x80\x8A\xE2\x81\x9F"),
            "ab\xC3\x84 c");
  // U+200B (zero width space) and U+FEFF lack the White_Space property.
  EXPECT_EQ(normalize_browser_name("\xE2\x80\x8B"
                                   "chrome"),
            "\xE2\x80\x8B"
            "chrome");
  EXPECT_EQ(normalize_browser_name("chrome\xEF\xBB\xBF"), "chrome\xEF\xBB\xBF");
  EXPECT_EQ(normalize_browser_name("   "), "");
}

}  // namespace
}  // namespace qlx
