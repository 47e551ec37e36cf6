// add_download refuses anything but a web URL before touching the disk.
#include <gtest/gtest.h>

#include "host/dispatch.h"
#include "support/case_name.h"
#include "support/host_session.h"
#include "support/scoped_env.h"
#include "support/stand_in.h"

namespace qlx {
namespace {

struct RefusedCase {
  const char* name;
  const char* message;
  friend void PrintTo(const RefusedCase& c, std::ostream* out) { *out << c.name; }
};

class AddDownloadRefuses : public testing::TestWithParam<RefusedCase> {};

TEST_P(AddDownloadRefuses, WithTheUrlTextAndWritesNothing) {
  const testing_support::TempDir temp;
  const testing_support::ScopedEnv env(testing_support::local_app_data_env(temp.path));
  auto reply = dispatch_message(*parse_message(GetParam().message));
  ASSERT_TRUE(reply.has_value()) << reply.error().text;
  EXPECT_EQ(to_compact_json(*reply), R"({"error":"Only HTTP/HTTPS URLs are allowed","ok":false})");
  EXPECT_EQ(testing_support::file_names(temp.path), std::vector<std::string>{});
}

INSTANTIATE_TEST_SUITE_P(
    Urls, AddDownloadRefuses,
    testing::Values(
        RefusedCase{"NoUrl", R"({"type":"add_download"})"},
        RefusedCase{"Number", R"({"type":"add_download","url":5})"},
        RefusedCase{"Array", R"({"type":"add_download","url":["http://a"]})"},
        RefusedCase{"Null", R"({"type":"add_download","url":null})"},
        RefusedCase{"Empty", R"({"type":"add_download","url":""})"},
        RefusedCase{"CapitalScheme", R"({"type":"add_download","url":"HTTP://a.example/"})"},
        RefusedCase{"LeadingSpace", R"({"type":"add_download","url":" http://a.example/"})"},
        RefusedCase{"OneSlash", R"({"type":"add_download","url":"http:/a.example/"})"},
        RefusedCase{"HttpsOneSlash", R"({"type":"add_download","url":"https:/a.example/"})"},
        RefusedCase{"SchemeOnly", R"({"type":"add_download","url":"https:"})"},
        RefusedCase{"OtherScheme", R"({"type":"add_download","url":"ftp://a.example/"})"},
        RefusedCase{"EncodedSlashes", R"({"type":"add_download","url":"http:%2F%2Fa.example/"})"}),
    testing_support::CaseName());

}  // namespace
}  // namespace qlx
