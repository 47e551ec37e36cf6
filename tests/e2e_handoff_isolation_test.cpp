// The download manager is started apart from the host: it cannot write into
// the reply stream, read the extension's messages or keep the browser's pipes
// open.
#include <gtest/gtest.h>

#include <string>

#include "support/host_session.h"
#include "support/messages.h"
#include "support/stand_in.h"

namespace qlx {
namespace {

using testing_support::HostSession;
using testing_support::kManagerNames;
using testing_support::ManagerInstall;

TEST(ManagerIsolation, ChattyLingeringManagerNeitherCorruptsNorHoldsTheStream) {
  ManagerInstall install;
  install.add_manager(kManagerNames[0]);
  HostSession host(install.options({{"QLX_STAND_IN_NOISE", "1"},
                                    {"QLX_STAND_IN_WATCH_MS", "2000"},
                                    {"QLX_STAND_IN_LINGER_MS", "120000"}}));
  host.send(R"({"type":"open_app"})");
  EXPECT_EQ(host.read_reply(), R"({"launched":true,"ok":true})");
  host.send(R"({"type":"add_download","url":"https://a.example/"})");
  EXPECT_EQ(host.read_reply(), R"({"launched":true,"ok":true,"received":"add_download"})");
  host.send(testing_support::kPing);
  EXPECT_EQ(host.read_reply(), testing_support::ping_reply());

  // The host's stdout ends with the host, though both managers still run.
  const auto run = host.finish();
  EXPECT_EQ(run.output, "");
  EXPECT_EQ(run.errors, "");
  EXPECT_EQ(run.exit_code, 0);
  ASSERT_TRUE(install.wait_for_starts(2));
  EXPECT_EQ(install.exited().size(), 0u) << "the managers must still be running";

  install.stop_stand_ins();
  ASSERT_TRUE(install.wait_for_exits(2));
  for (const Json& record : install.started()) EXPECT_EQ(record["stdout"], "null");
  for (const Json& exited : install.exited()) {
    EXPECT_EQ(exited["stdin_bytes"], 0) << "the manager read nothing of the host's input";
  }
}

}  // namespace
}  // namespace qlx
