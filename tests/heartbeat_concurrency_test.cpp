// Several hosts share the heartbeat files: none loses another's entry, and
// none resets the table because it read a file that was half written.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <map>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "identity/heartbeat_table.h"
#include "support/files.h"
#include "support/host_session.h"
#include "support/messages.h"

namespace qlx::testing_support {
namespace {

constexpr int kMessagesPerHost = 300;

std::uint64_t now_ms() {
  return static_cast<std::uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                        std::chrono::system_clock::now().time_since_epoch())
                                        .count());
}

/// A ping from `key` whose version tells the messages apart: "v<index>".
std::string message(const std::string& key, int index) {
  std::string text = R"({"type":"ping","browser_id":")";
  text += key;
  text += R"(","extension_version":"v)";
  text += std::to_string(index);
  text += R"("})";
  return text;
}

struct HostLog {
  std::uint64_t last_sent_ms = 0;   // just before the last message
  std::uint64_t last_reply_ms = 0;  // just after its reply
  int replies = 0;
};

TEST(HeartbeatConcurrency, FiveHostsLoseNoEntry) {
  const std::vector<std::string> keys{"brave", "edge", "vivaldi", "opera", "chrome"};
  TempDir app_data;
  const Path table_file = data_dir_under(app_data.path) / "extension-heartbeats-v2.json";
  HostOptions options;
  options.env = local_app_data_env(app_data.path);

  std::atomic<bool> running{true};
  std::set<std::string> seen;
  int samples = 0, torn = 0, vanished = 0;
  // A reader like the download manager: it takes no lock, so it may catch a
  // file in the middle of its rewrite (torn); a whole file must never lack
  // an entry that an earlier whole file had.
  std::thread sampler([&] {
    while (running.load()) {
      const auto table = read_heartbeat_table(file_text(table_file));
      if (!table) {
        ++torn;
        continue;
      }
      ++samples;
      for (const std::string& name : seen) vanished += table->contains(name) ? 0 : 1;
      for (const auto& [name, entry] : *table) seen.insert(name);
    }
  });

  std::vector<HostLog> logs(keys.size());
  std::vector<std::thread> drivers;
  for (std::size_t h = 0; h < keys.size(); ++h) {
    drivers.emplace_back([&, h] {
      HostSession session(options);
      for (int i = 0; i < kMessagesPerHost; ++i) {
        const bool last = i == kMessagesPerHost - 1;
        if (last) logs[h].last_sent_ms = now_ms();
        session.send(message(keys[h], i));
        if (session.read_reply() == ping_reply()) ++logs[h].replies;
        if (last) logs[h].last_reply_ms = now_ms();
      }
      session.finish();
    });
  }
  for (auto& driver : drivers) driver.join();
  running = false;
  sampler.join();

  EXPECT_EQ(vanished, 0) << samples << " whole samples, " << torn << " torn";
  const auto table = read_heartbeat_table(file_text(table_file));
  ASSERT_TRUE(table);
  EXPECT_EQ(table->size(), keys.size());
  for (std::size_t h = 0; h < keys.size(); ++h) {
    SCOPED_TRACE(keys[h]);
    EXPECT_EQ(logs[h].replies, kMessagesPerHost);
    ASSERT_TRUE(table->contains(keys[h]));
    const BrowserHeartbeatV2& entry = table->at(keys[h]);
    EXPECT_EQ(entry.extension_version,
              std::string("v").append(std::to_string(kMessagesPerHost - 1)));
    EXPECT_GE(entry.timestamp_ms + 5, logs[h].last_sent_ms);  // two processes' clocks
    EXPECT_LE(entry.timestamp_ms, logs[h].last_reply_ms + 5);
  }
}

}  // namespace
}  // namespace qlx::testing_support
