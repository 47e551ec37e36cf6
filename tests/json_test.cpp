// The JSON reader and writers: what parses into what, every failure text with
// its position (the same when a text is only checked), the written forms of
// numbers and strings (the same when written from the text), and the bulk
// string scans at every alignment.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "base/json.h"
#include "base/message.h"
#include "base/utf8.h"
#include "support/bytes.h"
#include "support/case_name.h"

namespace qlx {
namespace {

/// "value:<compact form>" or "failure:<text>".
std::string outcome_of(std::string_view text) {
  auto parsed = parse_json(text);
  if (!parsed) return "failure:" + parsed.error().text;
  return "value:" + to_compact_json(*parsed);
}

std::string nested(std::size_t depth, std::string_view open, std::string_view inner,
                   std::string_view close) {
  std::string text;
  for (std::size_t i = 0; i < depth; ++i) text += open;
  text += inner;
  for (std::size_t i = 0; i < depth; ++i) text += close;
  return text;
}

struct ParseCase {
  const char* name;
  testing_support::Bytes input;
  std::string outcome;
};

class ParseJson : public testing::TestWithParam<ParseCase> {};

/// What `write` hands to its sink, piece by piece.
std::vector<std::string> written_pieces(const ByteProducer& write) {
  std::vector<std::string> pieces;
  const auto written = write([&pieces](std::string_view piece) {
    pieces.emplace_back(piece);
    return Result<void>{};
  });
  EXPECT_TRUE(written) << written.error().text;
  return pieces;
}

/// What write_indented_json() hands to its sink, piece by piece.
std::vector<std::string> indented_pieces(const Json& value) {
  return written_pieces(
      [&value](const ByteSink& sink) { return write_indented_json(value, sink); });
}

/// What write_indented_json_text() hands to its sink, piece by piece.
std::vector<std::string> indented_pieces_of_text(std::string_view text) {
  return written_pieces(
      [text](const ByteSink& sink) { return write_indented_json_text(text, sink); });
}

std::string joined(const std::vector<std::string>& pieces) {
  std::string text;
  for (const std::string& piece : pieces) text += piece;
  return text;
}

TEST_P(ParseJson, GivesTheExpectedValueOrFailure) {
  const std::string text = GetParam().input.get();
  EXPECT_EQ(outcome_of(text), GetParam().outcome);
  // Checking without a tree, and reading the text as a message, agree.
  const auto checked = check_json(text);
  const auto message = parse_message(text);
  if (GetParam().outcome.starts_with("failure:")) {
    ASSERT_FALSE(checked);
    EXPECT_EQ("failure:" + checked.error().text, GetParam().outcome);
    ASSERT_FALSE(message);
    EXPECT_EQ("failure:" + message.error().text, GetParam().outcome);
    return;
  }
  EXPECT_TRUE(checked) << checked.error().text;
  ASSERT_TRUE(message) << message.error().text;
  // Written from the text, the indented form is that of the value.
  const std::string indented = to_indented_json(*parse_json(text));
  EXPECT_EQ(joined(indented_pieces_of_text(text)), indented);
  EXPECT_EQ(joined(written_pieces([&message](const ByteSink& sink) {
              return write_indented_message(*message, sink);
            })),
            indented);
}

INSTANTIATE_TEST_SUITE_P(
    Values, ParseJson,
    testing::Values(
        ParseCase{"DuplicateNameLastWins", R"({"type":"a","type":"ping"})",
                  R"(value:{"type":"ping"})"},
        ParseCase{"MembersInByteOrder", R"({"url":"u","type":"t"})",
                  R"(value:{"type":"t","url":"u"})"},
        ParseCase{"PrefixNameFirstThenUpperCaseThenNonAscii",
                  "{\"\xC3\xA9\":1,\"source_url\":2,\"source\":3,\"Z\":4}",
                  "value:{\"Z\":4,\"source\":3,\"source_url\":2,\"\xC3\xA9\":1}"},
        ParseCase{"WhiteSpaceAroundAndCrLfAfter", " \t\n{ \"type\" :\r\n\"ping\" } \r\n",
                  R"(value:{"type":"ping"})"},
        ParseCase{"TopLevelArray", "[1, \"a\", null, true, false, [], {}]",
                  R"(value:[1,"a",null,true,false,[],{}])"},
        ParseCase{"TopLevelString", R"("x")", R"(value:"x")"},
        ParseCase{"TopLevelNumber", "42", "value:42"},
        ParseCase{"NestedContainers", R"({"a":[{"b":[[1],{}]},2],"c":{"d":{"e":null}}})",
                  R"(value:{"a":[{"b":[[1],{}]},2],"c":{"d":{"e":null}}})"},
        // Arrays that open before and after their outer array has elements.
        ParseCase{"ArraysBesideElements", R"([[[1]],2,[3,[4,[]]],[[5],6],{"a":[7,[8]]}])",
                  R"(value:[[[1]],2,[3,[4,[]]],[[5],6],{"a":[7,[8]]}])"},
        ParseCase{"DecimalWithTrailingZero", "1.50", "value:1.5"},
        ParseCase{"ExponentWholeNumber", "1e2", "value:100.0"},
        ParseCase{"UpperCaseExponentWithPlus", "1E+2", "value:100.0"},
        ParseCase{"LargeExponent", "1e16", "value:1e+16"},
        ParseCase{"SmallDecimal", "0.000001", "value:1e-6"},
        ParseCase{"PlainInteger", "12", "value:12"}, ParseCase{"NegativeInteger", "-3", "value:-3"},
        ParseCase{"NegativeZeroIsAnInteger", "-0", "value:0"},
        ParseCase{"NegativeZeroDouble", "-0.0", "value:-0.0"},
        ParseCase{"LargestUnsigned", "18446744073709551615", "value:18446744073709551615"},
        ParseCase{"BeyondUnsignedIsDouble", "18446744073709551616", "value:1.8446744073709552e+19"},
        ParseCase{"SmallestSigned", "-9223372036854775808", "value:-9223372036854775808"},
        ParseCase{"BelowSignedIsDouble", "-9223372036854775809", "value:-9.223372036854776e+18"},
        ParseCase{"ManyDigitsRoundedExactly", "123456789012345678901234567890",
                  "value:1.2345678901234568e+29"},
        ParseCase{"HalfwayRoundsToEven", "9007199254740993", "value:9007199254740993"},
        ParseCase{"HalfwayDoubleRoundsToEven", "9007199254740993.0", "value:9007199254740992.0"},
        ParseCase{"LargestDouble", "1.7976931348623157e308", "value:1.7976931348623157e+308"},
        ParseCase{"SmallestSubnormal", "5e-324", "value:5e-324"},
        ParseCase{"UnderflowReadsAsZero", "1e-400", "value:0.0"},
        ParseCase{"NegativeUnderflowReadsAsNegativeZero", "-1e-400", "value:-0.0"},
        ParseCase{"UnderflowWithLongFraction", "0.00000000000000000000000000001e-300", "value:0.0"},
        ParseCase{"HugeNegativeExponent", "1e-99999999999999999999999", "value:0.0"},
        ParseCase{"ShortEscapes", R"("\"\\\/\b\f\n\r\t")", R"(value:"\"\\/\b\f\n\r\t")"},
        ParseCase{"UnicodeEscapesBecomeUtf8", R"("\u00e9\u20AC\ud83d\ude00")",
                  "value:\"\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80\""},
        ParseCase{"EscapedNulAndUnitSeparator", R"("a\u0000b\u001F")", R"(value:"a\u0000b\u001f")"},
        ParseCase{"RawUtf8Kept", "\"\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80\xF4\x8F\xBF\xBF\"",
                  "value:\"\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80\xF4\x8F\xBF\xBF\""},
        ParseCase{"DeleteByteKept", "\"\x7F\"", "value:\"\x7F\""},
        ParseCase{"DeepestArrays", nested(127, "[", "", "]"), "value:" + nested(127, "[", "", "]")},
        ParseCase{"DeepestObjects", nested(126, "{\"a\":", "{}", "}"),
                  "value:" + nested(126, "{\"a\":", "{}", "}")},

        // One row per failure description, with its position.
        ParseCase{"Empty", "", "failure:EOF while parsing a value at line 1 column 0"},
        ParseCase{"OnlyWhiteSpace", " \n ", "failure:EOF while parsing a value at line 2 column 1"},
        ParseCase{"EofInList", "[1,2", "failure:EOF while parsing a list at line 1 column 4"},
        ParseCase{"EofAfterOpeningBracket", "[",
                  "failure:EOF while parsing a list at line 1 column 1"},
        ParseCase{"EofAfterComma", "[1,\n", "failure:EOF while parsing a value at line 2 column 0"},
        ParseCase{"EofInObject", R"({"a":1)",
                  "failure:EOF while parsing an object at line 1 column 6"},
        ParseCase{"EofAfterName", R"({"a")",
                  "failure:EOF while parsing an object at line 1 column 4"},
        ParseCase{"EofAfterColon", R"({"a":)",
                  "failure:EOF while parsing a value at line 1 column 5"},
        ParseCase{"EofInString", R"("abc)",
                  "failure:EOF while parsing a string at line 1 column 4"},
        ParseCase{"EofInEscape", R"("\u12)",
                  "failure:EOF while parsing a string at line 1 column 5"},
        ParseCase{"EofInCharacter", "\"\xC3",
                  "failure:EOF while parsing a string at line 1 column 2"},
        ParseCase{"EofInLiteral", "nul", "failure:EOF while parsing a value at line 1 column 3"},
        ParseCase{"EofInNumber", "-", "failure:EOF while parsing a value at line 1 column 1"},
        ParseCase{"EofInExponent", "1e+", "failure:EOF while parsing a value at line 1 column 3"},
        ParseCase{"ExpectedColon", R"({"a" 1})", "failure:expected `:` at line 1 column 6"},
        ParseCase{"ExpectedCommaOrBracket", "[1 2]",
                  "failure:expected `,` or `]` at line 1 column 4"},
        ParseCase{"ExpectedCommaOrBrace", R"({"a":1 "b":2})",
                  "failure:expected `,` or `}` at line 1 column 8"},
        ParseCase{"MisspeltLiteral", "[tru]", "failure:expected ident at line 1 column 5"},
        ParseCase{"MisspeltLiteralAtLineEnd", "{\n  \"a\": tru\n}",
                  "failure:expected ident at line 2 column 11"},
        ParseCase{"ExpectedValue", "x", "failure:expected value at line 1 column 1"},
        ParseCase{"ByteOrderMark", "\xEF\xBB\xBF{}", "failure:expected value at line 1 column 1"},
        ParseCase{"ClosingBracketAsValue", R"({"a":])",
                  "failure:expected value at line 1 column 6"},
        ParseCase{"LeadingPlus", "+1", "failure:expected value at line 1 column 1"},
        ParseCase{"BareDecimalPoint", ".5", "failure:expected value at line 1 column 1"},
        ParseCase{"InvalidEscape", R"("\x")", "failure:invalid escape at line 1 column 3"},
        ParseCase{"LeadingZero", "01", "failure:invalid number at line 1 column 2"},
        ParseCase{"MinusWithoutDigits", "-a", "failure:invalid number at line 1 column 2"},
        ParseCase{"PointWithoutDigits", "1.e5", "failure:invalid number at line 1 column 3"},
        ParseCase{"ExponentWithoutDigits", "[1e]", "failure:invalid number at line 1 column 4"},
        ParseCase{"Hexadecimal", "0x10", "failure:trailing characters at line 1 column 2"},
        ParseCase{"NumberOutOfRange", "[1e400]", "failure:number out of range at line 1 column 6"},
        ParseCase{"LongIntegerOutOfRange", std::string(400, '9'),
                  "failure:number out of range at line 1 column 400"},
        ParseCase{"LoneTrailingSurrogate", R"("\uDC00")",
                  "failure:invalid unicode code point at line 1 column 7"},
        ParseCase{"InvalidUtf8Byte", "\"a\xFF\"",
                  "failure:invalid unicode code point at line 1 column 3"},
        ParseCase{"BadContinuationByte", "\"\xC3(\"",
                  "failure:invalid unicode code point at line 1 column 3"},
        ParseCase{"OverlongUtf8", "\"\xC0\xAF\"",
                  "failure:invalid unicode code point at line 1 column 2"},
        ParseCase{"RawSurrogateUtf8", "\"\xED\xA0\x80\"",
                  "failure:invalid unicode code point at line 1 column 3"},
        ParseCase{"ControlCharacter", "\"a\x01\"",
                  "failure:control character (\\u0000-\\u001F) found while parsing a string at "
                  "line 1 column 3"},
        ParseCase{"RawLineFeedInString", "\"ab\ncd\"",
                  "failure:control character (\\u0000-\\u001F) found while parsing a string at "
                  "line 1 column 4"},
        ParseCase{"KeyNotString", "{1:2}", "failure:key must be a string at line 1 column 2"},
        ParseCase{"KeyNotStringAfterComma", R"({"a":1,2:3})",
                  "failure:key must be a string at line 1 column 8"},
        ParseCase{"LoneLeadingSurrogate", R"("\uD800")",
                  "failure:lone leading surrogate in hex escape at line 1 column 8"},
        ParseCase{"LeadingSurrogateThenOtherEscape", R"("\uD800\n")",
                  "failure:lone leading surrogate in hex escape at line 1 column 9"},
        ParseCase{"LeadingSurrogateThenNonSurrogate", R"("\uD800\u0041")",
                  "failure:lone leading surrogate in hex escape at line 1 column 13"},
        ParseCase{"TrailingCommaInList", "[1,]", "failure:trailing comma at line 1 column 4"},
        ParseCase{"TrailingCommaInObject", R"({"a":1, })",
                  "failure:trailing comma at line 1 column 9"},
        ParseCase{"TrailingCharacters", R"(  {"type":"ping"} x)",
                  "failure:trailing characters at line 1 column 19"},
        ParseCase{"TwoValues", "1 2", "failure:trailing characters at line 1 column 3"},
        ParseCase{"ShortHexEscape", R"("\u12G4")",
                  "failure:unexpected end of hex escape at line 1 column 6"},
        ParseCase{"TooDeepArrays", nested(128, "[", "", "]"),
                  "failure:recursion limit exceeded at line 1 column 128"},
        ParseCase{"TooDeepObjects", nested(128, "{\"a\":", "1", "}"),
                  "failure:recursion limit exceeded at line 1 column 636"},
        ParseCase{"MillionOpeningBrackets",
                  testing_support::Bytes::built_by([] { return std::string(1'000'000, '['); }),
                  "failure:recursion limit exceeded at line 1 column 128"}),
    testing_support::CaseName());

TEST(ParseJson, ReadsAChunkSizedBase64StringWhole) {
  std::string data;
  for (std::size_t i = 0; data.size() < 900'000; ++i) {
    data += "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/"[i * 7 % 64];
  }
  const std::string text = R"({"data":")" + data + R"(","type":"blob_chunk"})";
  auto parsed = parse_json(text);
  ASSERT_TRUE(parsed) << parsed.error().text;
  EXPECT_EQ((*parsed)["data"].get_ref<const std::string&>(), data);
  EXPECT_EQ(to_compact_json(*parsed), text);
}

// Each repeated name is reported once per later occurrence, with its depth
// and the value it replaces; the value is the one that "the last one wins" gives.
TEST(ParseJson, ReportsRepeatedMemberNames) {
  const std::string text =
      R"({"a":1,"b":{"x":[{"y":2,"y":3}],"x":4},"a\u0062":5,"ab":6,"a":{"z":7}})";
  std::vector<std::string> reports;
  auto parsed = parse_json(text, [&reports](const RepeatedMember& member) {
    reports.push_back(std::to_string(member.depth) + " " + std::string(member.name) + " " +
                      to_compact_json(member.replaced));
  });
  ASSERT_TRUE(parsed) << parsed.error().text;
  EXPECT_EQ(reports, (std::vector<std::string>{"4 y 2", "2 x [{\"y\":3}]", "1 ab 5", "1 a 1"}));
  EXPECT_EQ(to_compact_json(*parsed), R"({"a":{"z":7},"ab":6,"b":{"x":4}})");
  EXPECT_EQ(*parsed, *parse_json(text));

  reports.clear();
  auto failed = parse_json(R"({"a":1,"a":2,})", [&reports](const RepeatedMember& member) {
    reports.push_back(std::string(member.name));
  });
  ASSERT_FALSE(failed);
  EXPECT_EQ(failed.error().text, "trailing comma at line 1 column 14");
  EXPECT_EQ(reports, std::vector<std::string>{"a"});
}

TEST(ParseJson, KeepsNumberKinds) {
  struct Row {
    const char* text;
    Json::value_t kind;
  };
  for (const Row& row :
       {Row{"0", Json::value_t::number_unsigned}, Row{"-1", Json::value_t::number_integer},
        Row{"1.0", Json::value_t::number_float}, Row{"1e0", Json::value_t::number_float},
        Row{"18446744073709551616", Json::value_t::number_float}}) {
    SCOPED_TRACE(row.text);
    auto parsed = parse_json(row.text);
    ASSERT_TRUE(parsed);
    EXPECT_EQ(parsed->type(), row.kind);
  }
}

// Every byte position of a string body against the eight-byte steps of the
// bulk scan: a byte that stops the scan must be found wherever it stands.
TEST(ParseJson, FindsEveryStopByteAtEveryOffset) {
  for (std::size_t length = 0; length <= 40; ++length) {
    for (std::size_t at = 0; at < length; ++at) {
      SCOPED_TRACE("length " + std::to_string(length) + " at " + std::to_string(at));
      std::string body(length, 'a');

      body[at] = '\x1F';
      EXPECT_EQ(outcome_of("\"" + body + "\""),
                "failure:control character (\\u0000-\\u001F) found while parsing a string at "
                "line 1 column " +
                    std::to_string(at + 2));

      body[at] = '"';
      EXPECT_EQ(outcome_of("[\"" + body + "\"]"),
                "failure:expected `,` or `]` at line 1 column " + std::to_string(at + 4));

      std::string escaped = body;
      escaped.replace(at, 1, "\\n");
      EXPECT_EQ(outcome_of("\"" + escaped + "\""), "value:\"" + escaped + "\"");

      body[at] = '\xFF';
      EXPECT_EQ(outcome_of("\"" + body + "\""),
                "failure:invalid unicode code point at line 1 column " + std::to_string(at + 2));

      std::string wide = body;
      wide.replace(at, 1, "\xE2\x82\xAC");
      EXPECT_EQ(outcome_of("\"" + wide + "\""), "value:\"" + wide + "\"");
    }
  }
}

struct WriteCase {
  const char* name;
  Json value;
  std::string compact;
  std::string indented;
};

class WriteJson : public testing::TestWithParam<WriteCase> {};

TEST_P(WriteJson, WritesBothForms) {
  EXPECT_EQ(to_compact_json(GetParam().value), GetParam().compact);
  EXPECT_EQ(to_indented_json(GetParam().value), GetParam().indented);
  EXPECT_EQ(joined(indented_pieces(GetParam().value)), GetParam().indented);
  EXPECT_EQ(joined(indented_pieces_of_text(GetParam().compact)), GetParam().indented);
}

Json object_of(std::initializer_list<std::pair<const char*, Json>> members) {
  Json object = Json::object();
  for (const auto& [name, value] : members) object[name] = value;
  return object;
}

INSTANTIATE_TEST_SUITE_P(
    Values, WriteJson,
    testing::Values(
        WriteCase{"Ping", object_of({{"type", "ping"}, {"ok", true}}),
                  R"({"ok":true,"type":"ping"})", "{\n  \"ok\": true,\n  \"type\": \"ping\"\n}"},
        WriteCase{"ErrorReply", object_of({{"ok", false}, {"error", "x"}}),
                  R"({"error":"x","ok":false})", "{\n  \"error\": \"x\",\n  \"ok\": false\n}"},
        WriteCase{"EmptyContainersStayOnTheirLine",
                  object_of({{"a", Json::object()}, {"b", Json::array()}, {"c", nullptr}}),
                  R"({"a":{},"b":[],"c":null})", "{\n  \"a\": {},\n  \"b\": [],\n  \"c\": null\n}"},
        WriteCase{"NestedIndentation",
                  object_of({{"list", Json::array({1, Json::array({2}), object_of({{"k", -1}})})}}),
                  R"({"list":[1,[2],{"k":-1}]})",
                  "{\n  \"list\": [\n    1,\n    [\n      2\n    ],\n    {\n      \"k\": -1\n    "
                  "}\n  ]\n}"},
        WriteCase{"TopLevelEmptyObject", Json::object(), "{}", "{}"},
        WriteCase{"TopLevelScalar", Json("s"), R"("s")", R"("s")"},
        WriteCase{"LargestIntegers",
                  Json::array({std::numeric_limits<std::uint64_t>::max(),
                               std::numeric_limits<std::int64_t>::min()}),
                  "[18446744073709551615,-9223372036854775808]",
                  "[\n  18446744073709551615,\n  -9223372036854775808\n]"},
        WriteCase{"Escapes", Json("\t\"\x01\\\b\f\n\r\x1F"), R"("\t\"\u0001\\\b\f\n\r\u001f")",
                  R"("\t\"\u0001\\\b\f\n\r\u001f")"},
        WriteCase{"CopiedUnchanged", Json("/\x7F\xC3\xA9\xF0\x9F\x98\x80"),
                  "\"/\x7F\xC3\xA9\xF0\x9F\x98\x80\"", "\"/\x7F\xC3\xA9\xF0\x9F\x98\x80\""},
        WriteCase{"NameEscaped", object_of({{"a\"b", 1}}), R"({"a\"b":1})",
                  "{\n  \"a\\\"b\": 1\n}"}),
    testing_support::CaseName());

TEST(WriteJson, WritesDoublesInTheirShortestForm) {
  struct Row {
    double value;
    const char* text;
  };
  const double infinity = std::numeric_limits<double>::infinity();
  for (const Row& row : {
           Row{100.0, "100.0"},
           Row{0.5, "0.5"},
           Row{0.00001, "0.00001"},
           Row{0.000012, "0.000012"},
           Row{1e15, "1000000000000000.0"},
           Row{1234567890123456.7, "1234567890123456.8"},
           Row{1e16, "1e+16"},
           Row{1.5e16, "1.5e+16"},
           Row{1.5e-7, "1.5e-7"},
           Row{1e-6, "1e-6"},
           Row{0.0, "0.0"},
           Row{-0.0, "-0.0"},
           Row{-2.5, "-2.5"},
           Row{0.1, "0.1"},
           Row{1.0 / 3, "0.3333333333333333"},
           Row{123456.789, "123456.789"},
           Row{1e21, "1e+21"},
           Row{-1.25e-300, "-1.25e-300"},
           Row{5e-324, "5e-324"},
           Row{1.7976931348623157e308, "1.7976931348623157e+308"},
           Row{infinity, "null"},
           Row{-infinity, "null"},
           Row{std::numeric_limits<double>::quiet_NaN(), "null"},
       }) {
    SCOPED_TRACE(row.text);
    EXPECT_EQ(to_compact_json(Json(row.value)), row.text);
  }
}

TEST(WriteJson, EscapesEveryByteThatNeedsItAtEveryOffset) {
  for (std::size_t length = 1; length <= 40; ++length) {
    for (std::size_t at = 0; at < length; ++at) {
      SCOPED_TRACE("length " + std::to_string(length) + " at " + std::to_string(at));
      std::string text(length, '\xC3');
      std::string expected = "\"" + text + "\"";
      text[at] = '\x02';
      expected.replace(at + 1, 1, "\\u0002");
      std::string written;
      append_json_string(written, text);
      EXPECT_EQ(written, expected);
    }
  }
}

// Values whose indented form is far longer than a piece: the pieces join
// into exactly to_indented_json(), every one of them but the last is full,
// and none is longer than the bound.
TEST(WriteJson, WritesTheIndentedFormInBoundedPieces) {
  struct Row {
    const char* name;
    std::function<Json()> make;
  };
  const Row rows[] = {
      {"DeepNestingWithAWideBottom",
       [] {
         Json value = Json::array();
         for (int i = 0; i < 20'000; ++i) value.push_back(i % 7);
         for (int depth = 0; depth < 125; ++depth) value = Json::array({std::move(value)});
         return Json::object({{"type", "add_download"}, {"deep", std::move(value)}});
       }},
      {"LongStringsFullOfEscapes",
       [] {
         std::string text;
         for (int i = 0; text.size() < 300'000; ++i) text += "ab\"\\\n\x01\x1f\xc3\xa9"[i % 10];
         return Json::array({text, text.substr(1), text.substr(7)});
       }},
      {"ManySmallObjects",
       [] {
         Json value = Json::array();
         for (int i = 0; i < 30'000; ++i) {
           std::string name = std::to_string(i);
           name.push_back('k');
           value.push_back(Json::object({{name, i * 0.25}}));
         }
         return value;
       }},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    const Json value = row.make();
    const std::string whole = to_indented_json(value);
    ASSERT_GT(whole.size(), 3 * kJsonPieceBytes);
    const std::string compact = to_compact_json(value);
    for (const auto& [from, pieces] :
         {std::pair{"from the value", indented_pieces(value)},
          std::pair{"from the text", indented_pieces_of_text(compact)}}) {
      SCOPED_TRACE(from);
      EXPECT_TRUE(joined(pieces) == whole) << "the pieces differ from the indented form";
      for (std::size_t i = 0; i < pieces.size(); ++i) {
        if (i + 1 < pieces.size()) {
          EXPECT_EQ(pieces[i].size(), kJsonPieceBytes) << "piece " << i;
        } else {
          EXPECT_LE(pieces[i].size(), kJsonPieceBytes) << "last piece";
        }
      }
    }
  }
}

TEST(WriteJson, StopsAtTheFirstPieceTheSinkRefuses) {
  Json value = Json::array();
  for (int i = 0; i < 100'000; ++i) value.push_back(Json::array({i, Json::object({{"k", i}})}));
  const std::string text = to_compact_json(value);
  const std::function<Result<void>(const ByteSink&)> writers[] = {
      [&value](const ByteSink& sink) { return write_indented_json(value, sink); },
      [&text](const ByteSink& sink) { return write_indented_json_text(text, sink); },
  };
  for (const auto& write : writers) {
    int offered = 0;
    const auto written = write([&offered](std::string_view) -> Result<void> {
      if (++offered == 3) return fail("No space left on device (os error 28)");
      return {};
    });
    ASSERT_FALSE(written);
    EXPECT_EQ(written.error().text, "No space left on device (os error 28)");
    EXPECT_EQ(offered, 3);
  }
}

TEST(WriteJson, AppendsAfterWhatIsThere) {
  std::string out = "{\"browser\":";
  append_json_string(out, "edge");
  EXPECT_EQ(out, "{\"browser\":\"edge\"");
}

TEST(WriteJson, BothFormsReadBackAsTheSameValue) {
  const std::string text =
      R"({"a":[1,-2,3.25,1e-7,1e300,"x\u0001y",true,false,null,{},[]],)"
      R"("b":{"c":{"d":[[[]]]}},"e":"\u00e9\ud83d\ude00","f":18446744073709551615})";
  auto value = parse_json(text);
  ASSERT_TRUE(value);
  auto from_compact = parse_json(to_compact_json(*value));
  auto from_indented = parse_json(to_indented_json(*value));
  ASSERT_TRUE(from_compact);
  ASSERT_TRUE(from_indented);
  EXPECT_EQ(*from_compact, *value);
  EXPECT_EQ(*from_indented, *value);
}

struct Utf8Case {
  const char* name;
  std::string bytes;
  bool valid;
};

class IsValidUtf8 : public testing::TestWithParam<Utf8Case> {};

TEST_P(IsValidUtf8, JudgesTheBytes) {
  EXPECT_EQ(is_valid_utf8(GetParam().bytes), GetParam().valid);
  // The same bytes behind a long ASCII run, which is skipped word by word.
  EXPECT_EQ(is_valid_utf8(std::string(37, 'a') + GetParam().bytes), GetParam().valid);
}

INSTANTIATE_TEST_SUITE_P(
    Sequences, IsValidUtf8,
    testing::Values(Utf8Case{"Empty", "", true}, Utf8Case{"Ascii", "hello\x7F", true},
                    Utf8Case{"TwoBytes", "\xC2\x80\xDF\xBF", true},
                    Utf8Case{"ThreeBytes", "\xE0\xA0\x80\xEF\xBF\xBF", true},
                    Utf8Case{"LastBeforeSurrogates", "\xED\x9F\xBF", true},
                    Utf8Case{"FourBytes", "\xF0\x90\x80\x80\xF4\x8F\xBF\xBF", true},
                    Utf8Case{"LoneContinuation", "\x80", false},
                    Utf8Case{"OverlongTwo", "\xC1\xBF", false},
                    Utf8Case{"OverlongThree", "\xE0\x9F\xBF", false},
                    Utf8Case{"OverlongFour", "\xF0\x8F\xBF\xBF", false},
                    Utf8Case{"Surrogate", "\xED\xA0\x80", false},
                    Utf8Case{"AboveUnicode", "\xF4\x90\x80\x80", false},
                    Utf8Case{"LeadF5", "\xF5\x80\x80\x80", false},
                    Utf8Case{"Truncated", "\xE2\x82", false},
                    Utf8Case{"ContinuationMissing", "\xE2\x82z", false}),
    testing_support::CaseName());

}  // namespace
}  // namespace qlx
