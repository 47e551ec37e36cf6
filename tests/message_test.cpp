// A message's members, looked up in its text: the same answers as in its
// value tree, for the names, repetitions and value kinds that could tell the
// two apart.
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "base/json.h"
#include "base/member.h"
#include "base/message.h"
#include "support/case_name.h"

namespace qlx {
namespace {

struct LookupCase {
  const char* name;
  const char* message;
  const char* member;
  std::optional<std::string> text;  // string_member's answer
};

class MessageStringMember : public testing::TestWithParam<LookupCase> {};

TEST_P(MessageStringMember, AnswersAsTheValueTreeDoes) {
  const LookupCase& c = GetParam();
  auto message = parse_message(c.message);
  ASSERT_TRUE(message) << message.error().text;
  EXPECT_EQ(string_member(*message, c.member), c.text);
  EXPECT_EQ(string_member_or_empty(*message, c.member), c.text.value_or(""));
  EXPECT_EQ(string_member_or_null(*message, c.member), c.text ? Json(*c.text) : Json(nullptr));

  const Json value = *parse_json(c.message);
  const std::string* in_tree = string_member(value, c.member);
  EXPECT_EQ(in_tree != nullptr ? std::optional(*in_tree) : std::nullopt, c.text)
      << "the value tree answers otherwise";
}

INSTANTIATE_TEST_SUITE_P(
    Lookups, MessageStringMember,
    testing::Values(
        LookupCase{"Plain", R"({"type":"ping"})", "type", "ping"},
        LookupCase{"Missing", R"({"type":"ping"})", "url", std::nullopt},
        LookupCase{"EmptyString", R"({"url":""})", "url", ""},
        LookupCase{"EscapesDecoded", R"({"source":"a\"b\\c\/d\u00e9\ud83d\ude00\n"})", "source",
                   "a\"b\\c/d\xC3\xA9\xF0\x9F\x98\x80\n"},
        LookupCase{"EscapedNameFoundByItsText", R"({"ty\u0070e":"ping"})", "type", "ping"},
        LookupCase{"NameWithAQuote", R"({"a\"b":"x","a":"y"})", "a\"b", "x"},
        LookupCase{"RepeatedLastWins", R"({"type":"a","url":"u","type":"b"})", "type", "b"},
        LookupCase{"RepeatedEscapedAndPlainAreOne", R"({"type":"a","typ\u0065":"b"})", "type", "b"},
        LookupCase{"RepeatedLastIsNoString", R"({"url":"https://a","url":5})", "url", std::nullopt},
        LookupCase{"Number", R"({"url":5})", "url", std::nullopt},
        LookupCase{"Null", R"({"url":null})", "url", std::nullopt},
        LookupCase{"Array", R"({"url":["https://a"]})", "url", std::nullopt},
        LookupCase{"Object", R"({"url":{"url":"https://a"}})", "url", std::nullopt},
        LookupCase{"NestedNameIsNoMember", R"({"p":{"type":"ping"}})", "type", std::nullopt},
        LookupCase{"PrefixOfAName", R"({"source_url":"x"})", "source", std::nullopt},
        LookupCase{"WhiteSpaceEverywhere", " {\r\n \"type\" \t: \"ping\" ,\"url\" : \"u\" } \n",
                   "url", "u"},
        LookupCase{"TopLevelArray", R"([{"type":"ping"}])", "type", std::nullopt},
        LookupCase{"TopLevelString", R"("type")", "type", std::nullopt}),
    testing_support::CaseName());

TEST(Message, FailsAsTheReaderDoes) {
  for (const char* text : {"", "{", R"({"type":"ping",})", "[1,2", "{\"a\":\"\xC3\"}"}) {
    SCOPED_TRACE(text);
    auto message = parse_message(text);
    ASSERT_FALSE(message);
    EXPECT_EQ(message.error().text, parse_json(text).error().text);
  }
}

TEST(Message, KeepsOneMemberPerNameInNameOrder) {
  auto message = parse_message(R"({"url":"u","type":"a","\u00e9":1,"Z":[],"type":"b","":{}})");
  ASSERT_TRUE(message) << message.error().text;
  std::string names;
  for (const JsonMember& member : message->members.list) {
    names.append("[")
        .append(message->members.name(member))
        .append("=")
        .append(message->members.value(member))
        .append("]");
  }
  EXPECT_EQ(names, "[={}][Z=[]][type=\"b\"][url=\"u\"][\xC3\xA9=1]");
}

}  // namespace
}  // namespace qlx
