// Transfer ids and the "size" member as blob_begin reads them.
#include <gtest/gtest.h>

#include <string>

#include "base/member.h"
#include "support/case_name.h"
#include "transfer/transfer_files.h"

namespace qlx {
namespace {

struct IdCase {
  const char* name;
  std::string id;
  bool valid;
};

class ValidateTransferId : public testing::TestWithParam<IdCase> {};

TEST_P(ValidateTransferId, AcceptsOnlyEightToEightyIdCharacters) {
  const IdCase& c = GetParam();
  auto got = validate_transfer_id(c.id);
  if (c.valid) {
    ASSERT_TRUE(got) << got.error().text;
    EXPECT_EQ(*got, c.id);
  } else {
    ASSERT_FALSE(got);
    EXPECT_EQ(got.error().text, "invalid browser transfer id");
  }
}

INSTANTIATE_TEST_SUITE_P(
    Ids, ValidateTransferId,
    testing::Values(IdCase{"EightCharacters", "abcdEFG8", true},
                    IdCase{"EightyCharacters", std::string(79, 'x') + "_", true},
                    IdCase{"EveryKindOfCharacter", "AZaz09-_", true}, IdCase{"Empty", "", false},
                    IdCase{"SevenCharacters", "abcdefg", false},
                    IdCase{"EightyOneCharacters", std::string(81, 'x'), false},
                    IdCase{"Dot", "abcd.efg", false},
                    IdCase{"ParentDirectory", "../abcdefgh", false},
                    IdCase{"Space", "abcd efg", false}, IdCase{"Slash", "abcd/efg", false},
                    IdCase{"Backslash", "abcd\\efg", false}, IdCase{"Colon", "C:abcdefg", false},
                    IdCase{"NonAsciiLetter",
                           "abcd\xC3\xA9"
                           "fg",
                           false},
                    IdCase{"NulByte", std::string("abcd\0efg", 8), false}),
    testing_support::CaseName());

struct SizeCase {
  const char* name;
  const char* message;
  std::optional<std::uint64_t> size;
};

class SizeMember : public testing::TestWithParam<SizeCase> {};

TEST_P(SizeMember, TakesOnlyNonNegativeIntegers) {
  const SizeCase& c = GetParam();
  auto value = parse_json(c.message);
  ASSERT_TRUE(value) << value.error().text;
  EXPECT_EQ(size_member(*value, "size"), c.size) << "in the value";
  auto message = parse_message(c.message);
  ASSERT_TRUE(message) << message.error().text;
  EXPECT_EQ(size_member(*message, "size"), c.size) << "in the message";
}

INSTANTIATE_TEST_SUITE_P(
    Sizes, SizeMember,
    testing::Values(SizeCase{"Zero", R"({"size":0})", 0},
                    SizeCase{"Integer", R"({"size":1234})", 1234},
                    SizeCase{"LargestUnsigned", R"({"size":18446744073709551615})",
                             18446744073709551615u},
                    SizeCase{"Negative", R"({"size":-5})", std::nullopt},
                    SizeCase{"Fraction", R"({"size":12.5})", std::nullopt},
                    SizeCase{"WholeWithFraction", R"({"size":1024.0})", std::nullopt},
                    SizeCase{"Exponent", R"({"size":1e3})", std::nullopt},
                    SizeCase{"String", R"({"size":"12"})", std::nullopt},
                    SizeCase{"Null", R"({"size":null})", std::nullopt},
                    SizeCase{"MinusZero", R"({"size":-0})", 0},
                    SizeCase{"RepeatedLastWins", R"({"size":1,"size":2})", 2},
                    SizeCase{"RepeatedLastIsNoNumber", R"({"size":1,"size":"2"})", std::nullopt},
                    SizeCase{"EscapedName", R"({"si\u007ae":7})", 7},
                    SizeCase{"Array", R"({"size":[1]})", std::nullopt},
                    SizeCase{"Missing", R"({})", std::nullopt},
                    SizeCase{"NotAnObject", R"([0])", std::nullopt}),
    testing_support::CaseName());

}  // namespace
}  // namespace qlx
