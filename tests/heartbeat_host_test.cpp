// The real host records its heartbeats: labelled with the browser that
// started it, for every message it decodes, and never at the reply's expense.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>

#include "host/frame.h"
#include "support/case_name.h"
#include "support/files.h"
#include "support/host_session.h"
#include "support/messages.h"
#include "support/unwritable_file.h"

namespace qlx::testing_support {
namespace {

const std::string kPingReply = ping_reply();

std::uint64_t now_ms() {
  return static_cast<std::uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                        std::chrono::system_clock::now().time_since_epoch())
                                        .count());
}

constexpr std::string_view kTimestampMember = "\"timestamp_ms\": ";

/// Where the digits of the first "timestamp_ms" in a heartbeat file begin and end.
std::pair<std::size_t, std::size_t> timestamp_digits(const std::string& text) {
  const std::size_t start = text.find(kTimestampMember);
  if (start == std::string::npos) return {0, 0};
  const std::size_t begin = start + kTimestampMember.size();
  const std::size_t end = text.find_first_not_of("0123456789", begin);
  return {begin, end == std::string::npos ? text.size() : end};
}

/// The "timestamp_ms" written in a heartbeat file (the first one), or 0.
std::uint64_t timestamp_in(const std::string& text) {
  const auto [begin, end] = timestamp_digits(text);
  return begin == end ? 0 : std::stoull(text.substr(begin, end - begin));
}

/// `text` with its first timestamp written as 0.
std::string without_timestamp(const std::string& text) {
  const auto [begin, end] = timestamp_digits(text);
  std::string out(text, 0, begin);
  out += '0';
  out.append(text, end);
  return out;
}

std::string legacy_text(std::string_view browser, std::string_view version, std::string_view source,
                        std::uint64_t timestamp) {
  return "{\n  \"browser_id\": " + std::string(browser) +
         ",\n  \"extension_id\": \"kbmhoaelpgdjcnfiebkalmcgopdhjnie\",\n  \"extension_version\": " +
         std::string(version) + ",\n  \"source\": " + std::string(source) +
         ",\n  \"timestamp_ms\": " + std::to_string(timestamp) + "\n}";
}

/// How an entry of the per-browser file begins: `"edge": {`.
std::string entry_start(std::string_view key) {
  std::string text;
  text += '"';
  text += key;
  text += "\": {";
  return text;
}

class HeartbeatHost : public testing::Test {
 protected:
  HostOptions options() const {
    HostOptions options;
    options.env = local_app_data_env(app_data_.path);
    return options;
  }
  Path data_dir() const { return data_dir_under(app_data_.path); }
  Path legacy() const { return data_dir() / "extension-heartbeat.json"; }
  Path per_browser() const { return data_dir() / "extension-heartbeats-v2.json"; }

  TempDir app_data_;
};

struct StandInCase {
  const char* name;
  const char* executable;  // the stand-in's name, without the platform's suffix
  const char* key;
};

class BrowserStandIn : public HeartbeatHost, public testing::WithParamInterface<StandInCase> {};

TEST_P(BrowserStandIn, ProcessChainNamesTheBrowserOverTheMessage) {
  const StandInCase& c = GetParam();
  TempDir browser_dir;
  const Path browser = browser_dir.path / executable_name(c.executable);
  std::filesystem::copy_file(programs_dir() / executable_name("browser-stand-in"), browser);
  HostOptions host = options();
  host.executable = browser;
  host.arguments = {path_to_utf8(host_executable())};

  const std::uint64_t before = now_ms();
  const HostRun done = run_host(
      frame_bytes(
          R"({"type":"ping","browser_id":"brave","extension_version":"3.1","source":"qlx-extension:brave:x"})"),
      host);
  const std::uint64_t after = now_ms();
  EXPECT_EQ(done.replies(), std::vector<std::string>{std::string(kPingReply)});
  EXPECT_EQ(done.exit_code, 0);
  EXPECT_EQ(done.errors, "");

  const std::string legacy_file = file_text(legacy());
  const std::uint64_t stamp = timestamp_in(legacy_file);
  EXPECT_GE(stamp + 5, before);  // clocks of two processes, rounded apiece
  EXPECT_LE(stamp, after + 5);
  std::string key = "\"";
  key += c.key;
  key += '"';
  EXPECT_EQ(legacy_file, legacy_text(key, "\"3.1\"", "\"qlx-extension:brave:x\"", stamp));
  std::string table = "{\n  ";
  table += entry_start(c.key);
  table += "\n    \"timestamp_ms\": ";
  table += std::to_string(stamp);
  table += ",\n    \"extension_id\": \"kbmhoaelpgdjcnfiebkalmcgopdhjnie\",\n    ";
  table += "\"extension_version\": \"3.1\"\n  }\n}";
  EXPECT_EQ(file_text(per_browser()), table);
}

INSTANTIATE_TEST_SUITE_P(Launchers, BrowserStandIn,
                         testing::Values(StandInCase{"Chrome", "chrome", "chrome"},
                                         StandInCase{"Edge", "msedge", "edge"}),
                         testing_support::CaseName());

TEST_F(HeartbeatHost, EveryDecodedMessageRefreshesTheLegacyFile) {
  HostSession session(options());
  const std::vector<std::pair<std::string, std::string>> steps{
      {R"({"type":"nope","source":"one","extension_version":"1"})", std::string(kUnknownTypeReply)},
      {R"({"source":"two","browser_id":"opera"})", std::string(kUnknownTypeReply)},
      {R"([{"source":"three"}])", std::string(kUnknownTypeReply)},
      {R"("ping")", std::string(kUnknownTypeReply)},
      {R"({"type":"ping","source":5})", std::string(kPingReply)},
  };
  const std::vector<std::string> expected_legacy{
      legacy_text("null", "\"1\"", "\"one\"", 0), legacy_text("\"opera\"", "null", "\"two\"", 0),
      legacy_text("null", "null", "null", 0), legacy_text("null", "null", "null", 0),
      legacy_text("null", "null", "null", 0)};
  for (std::size_t i = 0; i < steps.size(); ++i) {
    SCOPED_TRACE(steps[i].first);
    std::filesystem::remove(legacy());  // so that what is there was written now
    session.send(steps[i].first);
    EXPECT_EQ(session.read_reply(), steps[i].second);
    EXPECT_EQ(without_timestamp(file_text(legacy())), expected_legacy[i]);
    if (i == 0) {
      EXPECT_FALSE(std::filesystem::exists(per_browser()));
    }
  }
  const HostRun done = session.finish();
  EXPECT_EQ(done.exit_code, 0);
  EXPECT_EQ(done.errors, "");
  // Only the Opera message had a browser.
  EXPECT_NE(file_text(per_browser()).find(entry_start("opera")), std::string::npos);
  EXPECT_EQ(file_text(per_browser()).find("\"chrome\""), std::string::npos);
}

TEST_F(HeartbeatHost, WithoutADataDirectoryPingIsStillAnsweredAndNothingIsWritten) {
  TempDir working_dir;
  HostOptions host;
  host.env = no_local_app_data_env();
  host.working_dir = working_dir.path;
  const HostRun done = run_host(
      frame_bytes(R"({"type":"ping","browser_id":"edge"})") + frame_bytes(R"({"type":"ping"})"),
      host);
  EXPECT_EQ(done.replies(),
            (std::vector<std::string>{std::string(kPingReply), std::string(kPingReply)}));
  EXPECT_EQ(done.exit_code, 0);
  EXPECT_EQ(done.errors, "");
  EXPECT_TRUE(std::filesystem::is_empty(working_dir.path));
  EXPECT_TRUE(std::filesystem::is_empty(app_data_.path));
}

TEST_F(HeartbeatHost, UnwritableLegacyFileLeavesThePerBrowserFileAndTheReplyAlone) {
  std::filesystem::create_directories(data_dir());
  const std::string before = R"({"chrome":[1,"a","b"]})";
  { std::ofstream(per_browser(), std::ios::binary) << before; }
  { std::ofstream(legacy(), std::ios::binary) << "{}"; }
  const UnwritableFile unwritable(legacy());
  const HostRun done = run_host(frame_bytes(R"({"type":"ping","browser_id":"edge"})") +
                                    frame_bytes(R"({"type":"nope","browser_id":"edge"})"),
                                for_unwritable_files(options()));
  EXPECT_EQ(done.replies(),
            (std::vector<std::string>{std::string(kPingReply), std::string(kUnknownTypeReply)}));
  EXPECT_EQ(done.exit_code, 0);
  EXPECT_EQ(done.errors, "");
  EXPECT_EQ(file_text(legacy()), "{}");
  EXPECT_EQ(file_text(per_browser()), before);
}

TEST_F(HeartbeatHost, ConcurrentFirstMessagesAllCreateTheDataDirectory) {
  // Five hosts meet an empty folder at the same moment; each must get past
  // creating the data directory to record its own entry.
  const char* keys[] = {"brave", "edge", "vivaldi", "opera", "chrome"};
  for (int round = 0; round < 3; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    TempDir app_data;
    const AppDataToCreate tree = app_data_to_create(app_data.path);
    const Path& local = tree.local_app_data;
    HostOptions host;
    host.env = local_app_data_env(local);
    std::vector<std::unique_ptr<HostSession>> hosts;
    for (int i = 0; i < 5; ++i) hosts.push_back(std::make_unique<HostSession>(host));
    // Every host is up and waiting before any message is sent.
    for (auto& h : hosts) {
      h->send(R"({"type":"ping"})");
      EXPECT_EQ(h->read_reply(), kPingReply);
    }
    std::filesystem::remove_all(tree.removable);
    for (int i = 0; i < 5; ++i) {
      hosts[i]->send(R"({"type":"ping","browser_id":")" + std::string(keys[i]) + R"("})");
    }
    for (auto& h : hosts) EXPECT_EQ(h->read_reply(), kPingReply);
    for (auto& h : hosts) EXPECT_EQ(h->finish().errors, "");
    const std::string table = file_text(data_dir_under(local) / "extension-heartbeats-v2.json");
    for (const char* key : keys) {
      EXPECT_NE(table.find(entry_start(key)), std::string::npos) << key;
    }
  }
}

}  // namespace
}  // namespace qlx::testing_support
