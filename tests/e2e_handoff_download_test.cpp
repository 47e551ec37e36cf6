// add_download through the real host and the stand-in download manager: the
// request file, the relayed answer, and what stays on disk.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include <nlohmann/json.hpp>

#include "host/frame.h"
#include "support/case_name.h"
#include "support/files.h"
#include "support/host_session.h"
#include "support/manager_player.h"
#include "support/messages.h"
#include "support/stand_in.h"

namespace qlx {
namespace {

using testing_support::file_names;
using testing_support::HostOptions;
using testing_support::HostSession;
using testing_support::kManagerNames;
using testing_support::kPing;
using testing_support::ManagerInstall;
using testing_support::ping_reply;

constexpr const char* kDownload = R"({"type":"add_download","url":"https://a.example/f.zip"})";
constexpr const char* kStandInObject = R"({"launched":true,"ok":true,"received":"add_download"})";

struct RelayCase {
  const char* name;
  std::vector<EnvChange> settings;
  std::string message;
  std::string reply;
  friend void PrintTo(const RelayCase& c, std::ostream* out) { *out << c.name; }
};

class AddDownloadRelay : public testing::TestWithParam<RelayCase> {};

TEST_P(AddDownloadRelay, RepliesWithTheManagersAnswerAndGoesOn) {
  const RelayCase& c = GetParam();
  ManagerInstall install;
  install.add_manager(kManagerNames[0]);
  const auto run = testing_support::run_host(frame_bytes(c.message) + frame_bytes(kPing),
                                             install.options(c.settings));
  EXPECT_EQ(run.replies(), (std::vector<std::string>{c.reply, ping_reply()}));
  EXPECT_EQ(run.errors, "");
  EXPECT_EQ(run.exit_code, 0);
  EXPECT_EQ(file_names(install.inbox()).size(), 1u) << "the answered request stays";
  EXPECT_EQ(file_names(install.results()), std::vector<std::string>{}) << "the result is taken";
  EXPECT_TRUE(install.wait_for_exits(1));
}

INSTANTIATE_TEST_SUITE_P(
    Answers, AddDownloadRelay,
    testing::Values(
        RelayCase{"Object", {}, kDownload, kStandInObject},
        RelayCase{"LaunchedReplaced",
                  {{"QLX_STAND_IN_RESULT", R"({"launched": "yes", "ok": false})"}},
                  kDownload,
                  R"({"launched":true,"ok":false})"},
        RelayCase{"Array", {{"QLX_STAND_IN_ANSWER", "array"}}, kDownload, R"([1,"two",null])"},
        RelayCase{"String", {{"QLX_STAND_IN_ANSWER", "string"}}, kDownload, R"("queued")"},
        RelayCase{
            "NotJson",
            {{"QLX_STAND_IN_ANSWER", "not-json"}},
            kDownload,
            R"({"error":"QLX returned an unreadable handoff result","launched":true,"ok":false})"},
        RelayCase{"LateAnswer", {{"QLX_STAND_IN_DELAY_MS", "400"}}, kDownload, kStandInObject},
        RelayCase{
            "BareHttpPrefix", {}, R"({"type":"add_download","url":"http://"})", kStandInObject},
        RelayCase{"HttpsThenSpaces",
                  {},
                  R"({"type":"add_download","url":"https://   not a host"})",
                  kStandInObject}),
    testing_support::CaseName());

struct RequestCase {
  const char* name;
  const char* message;
  const char* request;  // the request file, byte for byte
  friend void PrintTo(const RequestCase& c, std::ostream* out) { *out << c.name; }
};

// The request is the whole message, indented, its members in name order.  It
// is written from the message's text: it must read as the message's value
// does, whatever the text's spacing, repeated names and escapes.
class AddDownloadRequest : public testing::TestWithParam<RequestCase> {};

TEST_P(AddDownloadRequest, IsTheMessageAsItsValueReads) {
  ManagerInstall install;
  install.add_manager(kManagerNames[1]);
  const auto run = testing_support::run_host(frame_bytes(GetParam().message), install.options());
  EXPECT_EQ(run.replies(), std::vector<std::string>{kStandInObject});
  const auto requests = file_names(install.inbox());
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(*read_file(install.inbox() / requests[0]), GetParam().request);
}

INSTANTIATE_TEST_SUITE_P(
    Messages, AddDownloadRequest,
    testing::Values(
        RequestCase{
            "InNameOrder",
            R"({"url":"https://a.example/f.zip","type":"add_download","source":"chrome",)"
            R"("extension_version":"2.1","size":1.50,"count":1e2,"nested":{"b":[true],"a":null}})",
            "{\n"
            "  \"count\": 100.0,\n"
            "  \"extension_version\": \"2.1\",\n"
            "  \"nested\": {\n"
            "    \"a\": null,\n"
            "    \"b\": [\n"
            "      true\n"
            "    ]\n"
            "  },\n"
            "  \"size\": 1.5,\n"
            "  \"source\": \"chrome\",\n"
            "  \"type\": \"add_download\",\n"
            "  \"url\": \"https://a.example/f.zip\"\n"
            "}"},
        RequestCase{"SpacingRepeatedNamesAndEscapes",
                    "{ \"url\" : \"ftp://a.example/\",\r\n\t\"ty\\u0070e\":\"add_download\","
                    R"("p":{"b":[ -0 , 1E2 ,0.5e1, "\u00e9\/\u0001" ],"a":1,"a":{"z":[],"y":{}}},)"
                    R"("url":"https://a.example/f.zip" } )",
                    "{\n"
                    "  \"p\": {\n"
                    "    \"a\": {\n"
                    "      \"y\": {},\n"
                    "      \"z\": []\n"
                    "    },\n"
                    "    \"b\": [\n"
                    "      0,\n"
                    "      100.0,\n"
                    "      5.0,\n"
                    "      \"\xC3\xA9/\\u0001\"\n"
                    "    ]\n"
                    "  },\n"
                    "  \"type\": \"add_download\",\n"
                    "  \"url\": \"https://a.example/f.zip\"\n"
                    "}"}),
    testing_support::CaseName());

TEST(AddDownload, RefusedUrlWritesNothingAndStartsNothing) {
  ManagerInstall install;
  install.add_manager(kManagerNames[0]);
  const auto run = testing_support::run_host(
      frame_bytes(R"({"type":"add_download","url":"HTTPS://a.example/"})") + frame_bytes(kPing),
      install.options());
  EXPECT_EQ(run.replies(),
            (std::vector<std::string>{R"({"error":"Only HTTP/HTTPS URLs are allowed","ok":false})",
                                      ping_reply()}));
  EXPECT_EQ(run.exit_code, 0);
  EXPECT_FALSE(path_exists(install.inbox()));
  EXPECT_FALSE(path_exists(install.results()));
  EXPECT_EQ(install.started().size(), 0u);
}

TEST(AddDownload, ManagerAlreadyRunningAnswersWhenNoneCouldBeStarted) {
  ManagerInstall install;  // nothing beside the host
  ChildOptions manager;
  manager.program = testing_support::stand_in_executable();
  manager.env = install.env({{"QLX_STAND_IN_WATCH_MS", "60000"}});
  auto running = start_child(manager);
  ASSERT_TRUE(running.has_value()) << running.error().text;
  const auto run = testing_support::run_host(frame_bytes(kDownload), install.options());
  EXPECT_EQ(run.replies(),
            std::vector<std::string>{R"({"launched":false,"ok":true,"received":"add_download"})"});
  EXPECT_EQ(run.exit_code, 0);
  install.stop_stand_ins();
  EXPECT_EQ(wait_child(*running).value_or(-1), 0);
}

TEST(AddDownload, ResultThatIsNotUtf8EndsTheHostAndLeavesBothFiles) {
  ManagerInstall install;
  install.add_manager(kManagerNames[0]);
  const auto run =
      testing_support::run_host(frame_bytes(kDownload) + frame_bytes(kPing),
                                install.options({{"QLX_STAND_IN_ANSWER", "invalid-utf8"}}));
  EXPECT_EQ(run.replies(), std::vector<std::string>{
                               R"({"error":"stream did not contain valid UTF-8","ok":false})"});
  EXPECT_EQ(run.errors, "");
  EXPECT_EQ(run.exit_code, 0);
  const auto requests = file_names(install.inbox());
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(file_names(install.results()), requests);
}

TEST(AddDownload, WithoutADataDirectoryEndsTheHost) {
  ManagerInstall install;
  install.add_manager(kManagerNames[0]);
  auto options = install.options();
  const auto none = testing_support::no_local_app_data_env();
  options.env.insert(options.env.end(), none.begin(), none.end());
  const auto run = testing_support::run_host(frame_bytes(kDownload) + frame_bytes(kPing), options);
  EXPECT_EQ(run.replies(),
            std::vector<std::string>{R"({"error":"No local data directory","ok":false})"});
  EXPECT_EQ(run.exit_code, 0);
  EXPECT_EQ(install.started().size(), 0u);
}

// A download manager that watches the inbox (inotify, ReadDirectoryChangesW)
// reads each request the moment it appears.  It must never meet one that is
// empty or cut short, even when the request is megabytes long: the host
// writes it aside and renames it into the inbox whole.
TEST(AddDownload, WatcherThatReadsEachRequestAtOnceFindsItWhole) {
  constexpr int kRequests = 8;
  testing_support::TempDir temp;
  const Path data = testing_support::data_dir_under(temp.path);
  const Path inbox = data / "inbox";
  const Path results = data / "inbox-results";
  // 120 levels around 20,000 numbers: a 40 KB message whose request file is
  // about 5 MB.
  std::string message = R"({"type":"add_download","url":"https://a.example/f.zip","deep":)";
  message += std::string(119, '[') + "[0";
  for (int i = 1; i < 20'000; ++i) message += ",1";
  message += std::string(120, ']') + "}";

  std::atomic<bool> stop{false};
  std::set<std::string> seen;
  std::vector<std::string> not_whole;
  std::thread watcher([&] {
    while (!stop) {
      std::error_code error;
      for (const auto& entry : std::filesystem::directory_iterator(inbox, error)) {
        const std::string name = entry.path().filename().string();
        if (seen.contains(name)) continue;
        const std::string text = testing_support::file_text(entry.path());
        // On Windows the rename's own handle holds the file for a moment
        // after it appears (a sharing violation): look again.
        if (text.starts_with("<unreadable: ")) continue;
        seen.insert(name);
        if (!nlohmann::json::accept(text)) {
          not_whole.push_back(name + " (" + std::to_string(text.size()) + " bytes)");
        }
        testing_support::write_whole(results / name, R"({"ok": true})");
      }
      std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
  });

  HostOptions options;
  options.env = testing_support::local_app_data_env(temp.path);
  HostSession host(options);
  for (int i = 0; i < kRequests; ++i) {
    host.send(message);
    EXPECT_EQ(host.read_reply(), R"({"launched":false,"ok":true})") << "request " << i;
  }
  stop = true;
  watcher.join();
  const auto run = host.finish();
  EXPECT_EQ(run.exit_code, 0);
  EXPECT_EQ(run.errors, "");
  EXPECT_EQ(seen.size(), static_cast<std::size_t>(kRequests));
  EXPECT_EQ(not_whole, std::vector<std::string>{});
}

}  // namespace
}  // namespace qlx
