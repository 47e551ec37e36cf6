// The real wait: nobody answers an add_download for 35 seconds.
#include <gtest/gtest.h>

#include <chrono>

#include "support/host_session.h"
#include "support/messages.h"
#include "support/stand_in.h"

namespace qlx {
namespace {

TEST(HandoffTimeoutSlow, UnansweredDownloadTimesOutAfter35SecondsAndWithdrawsItsRequest) {
  testing_support::ManagerInstall install;  // no manager beside the host
  testing_support::HostSession host(install.options());
  const auto begun = std::chrono::steady_clock::now();
  host.send(R"({"type":"add_download","url":"https://a.example/f.zip"})");
  const auto reply = host.read_reply();
  const auto waited = std::chrono::steady_clock::now() - begun;
  EXPECT_EQ(
      reply,
      R"({"error":"QLX did not confirm the download within 35 seconds. The browser download was left untouched.","launched":false,"ok":false})");
  EXPECT_GE(waited, std::chrono::seconds(35));
  EXPECT_EQ(testing_support::file_names(install.inbox()), std::vector<std::string>{});
  EXPECT_EQ(testing_support::file_names(install.results()), std::vector<std::string>{});
  // The loop goes on after a timeout.
  host.send(testing_support::kPing);
  EXPECT_EQ(host.read_reply(), testing_support::ping_reply());
  const auto run = host.finish();
  EXPECT_EQ(run.errors, "");
  EXPECT_EQ(run.exit_code, 0);
}

}  // namespace
}  // namespace qlx
