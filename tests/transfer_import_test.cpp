// blob_end in-process, with a short wait for the download manager and
// metadata files that only a foreign writer could leave behind.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>

#include "platform/fs.h"
#include "support/host_session.h"
#include "support/scoped_env.h"
#include "support/stand_in.h"
#include "transfer/blob_import.h"
#include "transfer/blob_reception.h"

namespace qlx {
namespace {

constexpr PollPolicy kShortWait{3, std::chrono::milliseconds(1)};

/// This process uses a fresh local application-data folder.
class TransferImport : public testing::Test {
 protected:
  testing_support::TempDir local;
  testing_support::ScopedEnv env{testing_support::local_app_data_env(local.path)};
  Path data = testing_support::data_dir_under(local.path);

  /// The message of a text that outlives it (a literal).
  Message message(std::string_view text) {
    auto parsed = parse_message(text);
    EXPECT_TRUE(parsed) << text;
    return parsed ? std::move(*parsed) : *parse_message("{}");
  }
  Path transfer_file(std::string_view name) { return data / "browser-transfers" / name; }
};

TEST_F(TransferImport, TimeoutWithdrawsTheRequestAndRemovesThePartialFileNobodyTook) {
  ASSERT_TRUE(handle_blob_begin(message(R"({"transfer_id":"waiting-1","size":3})")));
  ASSERT_TRUE(handle_blob_chunk(message(R"({"transfer_id":"waiting-1","data_base64":"QUJD"})")));
  auto reply = end_transfer(message(R"({"transfer_id":"waiting-1"})"), kShortWait);
  ASSERT_TRUE(reply) << reply.error().text;
  EXPECT_EQ(
      to_compact_json(*reply),
      R"({"error":"QLX did not confirm the browser-generated file within 35 seconds","ok":false})");
  EXPECT_TRUE(std::filesystem::is_empty(data / "inbox"));
  EXPECT_FALSE(path_exists(transfer_file("waiting-1.json")));
  EXPECT_FALSE(path_exists(transfer_file("waiting-1.part")));

  auto again = end_transfer(message(R"({"transfer_id":"waiting-1"})"), kShortWait);
  ASSERT_FALSE(again);
  EXPECT_EQ(again.error().text, "browser transfer was not started");
}

TEST_F(TransferImport, TimeoutKeepsThePartialFileOfARequestTheManagerTook) {
  ASSERT_TRUE(handle_blob_begin(message(R"({"transfer_id":"taken-01"})")));
  ASSERT_TRUE(handle_blob_chunk(message(R"({"transfer_id":"taken-01","data_base64":"QUJD"})")));
  // The manager takes the request file away, and answers too late.
  std::atomic<bool> taken{false};
  std::thread manager([&] {
    for (int look = 0; look < 2000 && !taken; ++look) {
      std::error_code error;
      for (const auto& entry : std::filesystem::directory_iterator(data / "inbox", error)) {
        taken = std::filesystem::remove(entry.path(), error);
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
  });
  auto reply = end_transfer(message(R"({"transfer_id":"taken-01"})"),
                            PollPolicy{200, std::chrono::milliseconds(5)});
  manager.join();
  ASSERT_TRUE(taken);
  ASSERT_TRUE(reply) << reply.error().text;
  EXPECT_EQ(
      to_compact_json(*reply),
      R"({"error":"QLX did not confirm the browser-generated file within 35 seconds","ok":false})");
  EXPECT_EQ(read_file(transfer_file("taken-01.part")).value_or("<missing>"), "ABC");
  EXPECT_FALSE(path_exists(transfer_file("taken-01.json")));
}

TEST_F(TransferImport, ReadsTheMetadataFileByMemberName) {
  struct Case {
    const char* label;
    const char* metadata;
    const char* outcome;  // "handed over" or the failure
  };
  const Case cases[] = {
      {"not an object", "[1]", "handed over"},
      {"size as a string", R"({"expected_size":"12"})", "handed over"},
      {"size as a double", R"({"expected_size":0.0})", "handed over"},
      {"size that differs", R"({"expected_size":1})",
       "browser transfer size mismatch: expected 1 bytes, received 0"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    ASSERT_TRUE(handle_blob_begin(message(R"({"transfer_id":"tampered"})")));
    ASSERT_TRUE(write_file(transfer_file("tampered.json"), c.metadata));
    auto reply = end_transfer(message(R"({"transfer_id":"tampered"})"), kShortWait);
    EXPECT_EQ(reply ? "handed over" : reply.error().text, c.outcome);
    (void)remove_file(transfer_file("tampered.part"));  // as the manager would take it
  }

  ASSERT_TRUE(handle_blob_begin(message(R"({"transfer_id":"tampered"})")));
  ASSERT_TRUE(write_file(transfer_file("tampered.json"), "{"));
  auto reply = end_transfer(message(R"({"transfer_id":"tampered"})"), kShortWait);
  ASSERT_FALSE(reply);
  EXPECT_EQ(reply.error().text, parse_json("{").error().text);
  EXPECT_TRUE(path_exists(transfer_file("tampered.json")));
}

}  // namespace
}  // namespace qlx
