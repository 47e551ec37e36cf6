// Request ids: version-4 UUIDs in lower-case text, fresh for every request.
#include <gtest/gtest.h>

#include <set>

#include "handoff/request_id.h"

namespace qlx {
namespace {

TEST(RequestId, SetsVersionAndVariantBitsAndWritesLowerCaseGroups) {
  struct Case {
    const char* label;
    std::array<std::uint8_t, 16> bytes;
    const char* text;
  };
  const Case cases[] = {
      {"zeros", {}, "00000000-0000-4000-8000-000000000000"},
      {"ones",
       {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,
        0xFF},
       "ffffffff-ffff-4fff-bfff-ffffffffffff"},
      {"counting",
       {0x00, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08, 0x09, 0x0A, 0x0B, 0x0C, 0x0D, 0x0E,
        0x0F},
       "00010203-0405-4607-8809-0a0b0c0d0e0f"},
      {"version and variant replaced",
       {0xAB, 0xCD, 0xEF, 0x12, 0x34, 0x56, 0x9A, 0xBC, 0x5E, 0xF0, 0x12, 0x34, 0x56, 0x78, 0x9A,
        0xBC},
       "abcdef12-3456-4abc-9ef0-123456789abc"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    EXPECT_EQ(format_request_id(c.bytes), c.text);
  }
}

/// xxxxxxxx-xxxx-4xxx-Nxxx-xxxxxxxxxxxx, lower-case hexadecimal, N one of 8, 9, a, b.
bool is_version_4_uuid(const std::string& text) {
  constexpr std::string_view kForm = "xxxxxxxx-xxxx-4xxx-Nxxx-xxxxxxxxxxxx";
  if (text.size() != kForm.size()) return false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    const bool hex = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f');
    switch (kForm[i]) {
      case 'x':
        if (!hex) return false;
        break;
      case 'N':
        if (c != '8' && c != '9' && c != 'a' && c != 'b') return false;
        break;
      default:
        if (c != kForm[i]) return false;
    }
  }
  return true;
}

TEST(RequestId, FreshIdsAreWellFormedAndDistinct) {
  std::set<std::string> seen;
  for (int i = 0; i < 1000; ++i) {
    auto id = make_request_id();
    ASSERT_TRUE(id.has_value()) << id.error().text;
    EXPECT_TRUE(is_version_4_uuid(*id)) << *id;
    seen.insert(*id);
  }
  EXPECT_EQ(seen.size(), 1000u);
}

}  // namespace
}  // namespace qlx
