// The strict Base64 decoder: decoded bytes, and the exact failure of each
// check in the order the checks run.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>

#include "support/base64_encode.h"
#include "support/case_name.h"
#include "transfer/base64.h"

namespace qlx {
namespace {

using testing_support::encode_base64;

struct DecodeCase {
  const char* name;
  std::string text;
  std::string outcome;  // the decoded bytes, or "failure:<text>"
};

class DecodeBase64 : public testing::TestWithParam<DecodeCase> {};

TEST_P(DecodeBase64, GivesTheBytesOrTheFirstFault) {
  const DecodeCase& c = GetParam();
  auto got = decode_base64(c.text);
  EXPECT_EQ(got ? *got : "failure:" + got.error().text, c.outcome);
}

using namespace std::string_literals;

INSTANTIATE_TEST_SUITE_P(
    Vectors, DecodeBase64,
    testing::Values(
        DecodeCase{"Empty", "", ""}, DecodeCase{"OneGroup", "QUJD", "ABC"},
        DecodeCase{"SecondChunkOfTransfer", "REVG", "DEF"},
        DecodeCase{"OnePaddingSymbol", "R0g=", "GH"}, DecodeCase{"TwoPaddingSymbols", "QQ==", "A"},
        DecodeCase{"RfcF", "Zg==", "f"}, DecodeCase{"RfcFo", "Zm8=", "fo"},
        DecodeCase{"RfcFoo", "Zm9v", "foo"}, DecodeCase{"RfcFoob", "Zm9vYg==", "foob"},
        DecodeCase{"RfcFooba", "Zm9vYmE=", "fooba"}, DecodeCase{"RfcFoobar", "Zm9vYmFy", "foobar"},
        DecodeCase{"PlusAndSlash", "+/+/", "\xFB\xFF\xBF"},
        DecodeCase{"ZeroBytes", "AAAA", "\0\0\0"s},
        // 1: a length of 4k+1 whose last byte is foreign, reported before anything earlier.
        DecodeCase{"LastByteOfOddLength", "QUJD!", "failure:Invalid symbol 33, offset 4."},
        DecodeCase{"LastByteBeforeEarlierFault", "!UJD!", "failure:Invalid symbol 33, offset 4."},
        // 2: the first foreign byte before the final group, "=" included.
        DecodeCase{"ForeignByteInWholeGroup", "QU!DQUJD", "failure:Invalid symbol 33, offset 2."},
        DecodeCase{"LineBreak", "QUJD\nREVG", "failure:Invalid symbol 10, offset 4."},
        DecodeCase{"UrlSafeUnderscore", "_UJDQUJD", "failure:Invalid symbol 95, offset 0."},
        DecodeCase{"PaddingInsideText", "QQ==QUJD", "failure:Invalid symbol 61, offset 2."},
        DecodeCase{"NulByte", "QU\0DQUJD"s, "failure:Invalid symbol 0, offset 2."},
        DecodeCase{"NonAsciiByte", "QUJ\xC3QUJD", "failure:Invalid symbol 195, offset 3."},
        DecodeCase{"WholeGroupsBeforeFinalGroup",
                   "Q!JDQ=Q=", "failure:Invalid symbol 33, offset 1."},
        // 3: the final group, scanned from its start.
        DecodeCase{"UrlSafeMinusInFinalGroup", "QU-D", "failure:Invalid symbol 45, offset 2."},
        DecodeCase{"PaddingFirst", "QUJD=QUJ", "failure:Invalid symbol 61, offset 4."},
        DecodeCase{"PaddingSecond", "Q===", "failure:Invalid symbol 61, offset 1."},
        DecodeCase{"PaddingAlone", "=", "failure:Invalid symbol 61, offset 0."},
        DecodeCase{"PaddingAfterWholeGroup", "QUJD=", "failure:Invalid symbol 61, offset 4."},
        DecodeCase{"SymbolAfterPadding", "QQ=Q", "failure:Invalid symbol 61, offset 2."},
        DecodeCase{"ForeignAfterPadding", "QQ=!", "failure:Invalid symbol 33, offset 3."},
        DecodeCase{"ForeignBeforePadding", "QQ!=", "failure:Invalid symbol 33, offset 2."},
        DecodeCase{"SpaceInFinalGroup", "QUJ ", "failure:Invalid symbol 32, offset 3."},
        // 4: one symbol alone.
        DecodeCase{"SingleSymbol", "Q", "failure:Invalid input length: 1"},
        DecodeCase{"SingleSymbolAfterGroup", "QUJDQ", "failure:Invalid input length: 5"},
        // 5: a final group short of four.
        DecodeCase{"NoPadding", "QQ", "failure:Invalid padding"},
        DecodeCase{"ThreeSymbolsNoPadding", "QUJ", "failure:Invalid padding"},
        DecodeCase{"ShortPadding", "QQ=", "failure:Invalid padding"},
        DecodeCase{"ShortPaddingAfterGroup", "QUJDQQ=", "failure:Invalid padding"},
        DecodeCase{"PaddingBeforeUnusedBits", "QR", "failure:Invalid padding"},
        // 6: unused bits of the last symbol.
        DecodeCase{"UnusedBitsAfterTwo", "QR==", "failure:Invalid last symbol 82, offset 1."},
        DecodeCase{"UnusedBitsAfterThree", "QUK=", "failure:Invalid last symbol 75, offset 2."},
        DecodeCase{"UnusedBitsAfterGroup",
                   "QUJDQUK=", "failure:Invalid last symbol 75, offset 6."}),
    testing_support::CaseName());

TEST(DecodeBase64Long, RoundTripsEveryLengthAndByte) {
  std::mt19937 random(7);
  std::string bytes;
  for (int i = 0; i < 256; ++i) bytes += static_cast<char>(i);
  for (int i = 0; i < 700'000; ++i) bytes += static_cast<char>(random());
  for (std::size_t length : {std::size_t{1}, std::size_t{2}, std::size_t{3}, std::size_t{256},
                             std::size_t{675'000}, std::size_t{675'001}, std::size_t{675'002}}) {
    SCOPED_TRACE(length);
    const std::string original = bytes.substr(0, length);
    auto got = decode_base64(encode_base64(original));
    ASSERT_TRUE(got) << got.error().text;
    EXPECT_EQ(*got, original);
  }
}

TEST(DecodeBase64Long, ReportsTheFirstForeignByteFarIntoTheText) {
  std::string text = encode_base64(std::string(600'000, 'x'));
  text[654'321] = '-';
  text[700'000] = '!';
  auto got = decode_base64(text);
  ASSERT_FALSE(got);
  EXPECT_EQ(got.error().text, "Invalid symbol 45, offset 654321.");
}

}  // namespace
}  // namespace qlx
