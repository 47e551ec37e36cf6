// A browser-generated file through the host to the stand-in download manager,
// which copies the file it is handed (QLX_STAND_IN_IMPORT_TO).
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "platform/fs.h"
#include "support/files.h"
#include "support/host_session.h"
#include "support/stand_in.h"

namespace qlx {
namespace {

using testing_support::file_text;
using testing_support::HostSession;
using testing_support::kManagerNames;
using testing_support::ManagerInstall;

TEST(E2eTransferManager, ImportedFileIsLeftAloneByAChunkAfterTheHandover) {
  ManagerInstall install;
  install.add_manager(kManagerNames[0]);
  const Path imported = install.temp.path / "imported.bin";
  HostSession host(install.options({{"QLX_STAND_IN_IMPORT_TO", path_to_utf8(imported)}}));
  host.send(R"({"type":"blob_begin","transfer_id":"to-the-manager","size":8,"filename":"a.bin"})");
  host.send(R"({"type":"blob_chunk","transfer_id":"to-the-manager","data_base64":"QUJD"})");
  host.send(R"({"type":"blob_chunk","transfer_id":"to-the-manager","data_base64":"REVGR0g="})");
  host.send(R"({"type":"blob_end","transfer_id":"to-the-manager"})");
  EXPECT_EQ(host.read_reply(), R"({"ok":true,"transfer_id":"to-the-manager"})");
  EXPECT_EQ(host.read_reply(), R"({"ok":true,"received":3})");
  EXPECT_EQ(host.read_reply(), R"({"ok":true,"received":5})");
  EXPECT_EQ(host.read_reply(), R"({"launched":true,"ok":true,"received":"import_browser_file"})");
  EXPECT_EQ(file_text(imported), "ABCDEFGH");

  host.send(R"({"type":"blob_chunk","transfer_id":"to-the-manager","data_base64":"SUpL"})");
  host.send(R"({"type":"ping"})");
  EXPECT_EQ(host.read_reply(), R"({"error":"browser transfer was not started","ok":false})");
  EXPECT_EQ(host.read_reply(), std::nullopt);
  const auto run = host.finish();
  EXPECT_EQ(run.exit_code, 0);
  EXPECT_EQ(run.errors, "");
  EXPECT_EQ(file_text(imported), "ABCDEFGH");
  EXPECT_EQ(file_text(testing_support::data_dir_under(install.local_app_data) /
                      "browser-transfers" / "to-the-manager.part"),
            "ABCDEFGH");
  EXPECT_TRUE(install.wait_for_exits(1));
}

}  // namespace
}  // namespace qlx
