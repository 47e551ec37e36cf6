// The inbox handoff in-process: request file, result relay, the wait and its
// end.  No download manager lies beside the test binary, so "launched" is
// false and the test itself answers from the hook that runs once the request
// file is written.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <thread>

#include "child_process/child_process.h"
#include "handoff/submit_handoff.h"
#include "store/data_dir.h"
#include "support/case_name.h"
#include "support/fault_case.h"
#include "support/host_session.h"
#include "support/scoped_env.h"
#include "support/stand_in.h"

namespace qlx {
namespace {

using namespace std::chrono_literals;
using testing_support::file_names;

/// Short waits: the real 35 s one has its own slow test.
constexpr PollPolicy kQuick{40, std::chrono::milliseconds(5)};

class SubmitHandoff : public testing::Test {
 protected:
  void SetUp() override {
    inbox = *inbox_dir();
    results = *inbox_results_dir();
    before = file_names(inbox);
  }

  void TearDown() override {
    for (const std::string& name : new_requests()) (void)remove_file(inbox / name);
  }

  /// Request files that this test's handoffs wrote.
  std::vector<std::string> new_requests() const {
    std::vector<std::string> names;
    for (const std::string& name : file_names(inbox)) {
      if (std::find(before.begin(), before.end(), name) == before.end()) names.push_back(name);
    }
    return names;
  }

  /// The request file that the running handoff wrote.
  std::string the_request() const {
    const auto names = new_requests();
    EXPECT_EQ(names.size(), 1u);
    return names.empty() ? std::string() : names.front();
  }

  /// A hook that answers the request at once with `text`.
  std::function<void()> answer_with(std::string text) {
    return [this, text] { ASSERT_TRUE(write_file(results / the_request(), text)); };
  }

  testing_support::TempDir temp;
  testing_support::ScopedEnv env{testing_support::local_app_data_env(temp.path)};
  Path inbox, results;
  std::vector<std::string> before;
};

Json add_download_body() {
  return *parse_json(R"({"type":"add_download","url":"https://a.example/"})");
}

struct RelayCase {
  const char* name;
  HandoffKind kind;
  std::string result;  // the result file's bytes
  std::string reply;   // compact
  friend void PrintTo(const RelayCase& c, std::ostream* out) { *out << c.name; }
};

class SubmitHandoffRelay : public SubmitHandoff, public testing::WithParamInterface<RelayCase> {};

TEST_P(SubmitHandoffRelay, RepliesWithTheResultTakesItAndLeavesTheRequest) {
  const RelayCase& c = GetParam();
  auto reply = submit_handoff(c.kind, add_download_body(), answer_with(c.result), kQuick);
  ASSERT_TRUE(reply.has_value()) << reply.error().text;
  EXPECT_EQ(to_compact_json(*reply), c.reply);
  EXPECT_EQ(new_requests().size(), 1u) << "the answered request stays for the manager";
  EXPECT_EQ(file_names(results), std::vector<std::string>{}) << "the result is taken";
}

constexpr const char* kUnreadableDownload =
    R"({"error":"QLX returned an unreadable handoff result","launched":false,"ok":false})";

INSTANTIATE_TEST_SUITE_P(
    Results, SubmitHandoffRelay,
    testing::Values(
        RelayCase{"Object", HandoffKind::kAddDownload, R"({"ok": true})",
                  R"({"launched":false,"ok":true})"},
        RelayCase{"ObjectWithoutOk", HandoffKind::kAddDownload, R"({"queued": 3})",
                  R"({"launched":false,"queued":3})"},
        RelayCase{"LaunchedIsReplaced", HandoffKind::kAddDownload,
                  R"({"launched": true, "ok": true})", R"({"launched":false,"ok":true})"},
        RelayCase{"ArrayUnchanged", HandoffKind::kAddDownload, R"([1, {"b": 2, "a": 1}])",
                  R"([1,{"a":1,"b":2}])"},
        RelayCase{"StringUnchanged", HandoffKind::kAddDownload, R"("queued")", R"("queued")"},
        RelayCase{"NullUnchanged", HandoffKind::kAddDownload, "null", "null"},
        RelayCase{"WhiteSpaceAround", HandoffKind::kAddDownload, " \t\r\n{\"ok\": false}\n",
                  R"({"launched":false,"ok":false})"},
        RelayCase{"BareWord", HandoffKind::kAddDownload, "ok", kUnreadableDownload},
        RelayCase{"Empty", HandoffKind::kAddDownload, "", kUnreadableDownload},
        RelayCase{"TwoValues", HandoffKind::kAddDownload, "{} {}", kUnreadableDownload},
        RelayCase{"ImportObject", HandoffKind::kImportBrowserFile, R"({"ok": true})",
                  R"({"launched":false,"ok":true})"},
        RelayCase{
            "ImportUnreadable", HandoffKind::kImportBrowserFile, "{",
            R"({"error":"QLX returned an unreadable import result","launched":false,"ok":false})"}),
    testing_support::CaseName());

TEST_F(SubmitHandoff, WritesTheBodyIndentedAndInOrderBeforeTheManagerStarts) {
  const Json body = *parse_json(
      R"({"url":"https://a.example/f.zip","type":"add_download","source":"chrome","extension_version":"2.1","size":1.50,"count":1e2})");
  std::string written;
  auto reply = submit_handoff(
      HandoffKind::kAddDownload, body,
      [&] {
        auto text = read_file(inbox / the_request());
        ASSERT_TRUE(text.has_value());
        written = *text;
        ASSERT_TRUE(write_file(results / the_request(), "{}"));
      },
      kQuick);
  ASSERT_TRUE(reply.has_value()) << reply.error().text;
  EXPECT_EQ(written,
            "{\n"
            "  \"count\": 100.0,\n"
            "  \"extension_version\": \"2.1\",\n"
            "  \"size\": 1.5,\n"
            "  \"source\": \"chrome\",\n"
            "  \"type\": \"add_download\",\n"
            "  \"url\": \"https://a.example/f.zip\"\n"
            "}");
  // The file name is the request id.
  const std::string name = the_request();
  EXPECT_EQ(name.size(), 36u + 5u);
  EXPECT_TRUE(name.ends_with(".json"));
}

TEST_F(SubmitHandoff, FindsAResultThatArrivesWhileItWaits) {
  std::thread manager;
  auto reply = submit_handoff(
      HandoffKind::kAddDownload, add_download_body(),
      [&] {
        const Path result = results / the_request();
        manager = std::thread([result] {
          std::this_thread::sleep_for(60ms);
          // A manager's result is whole from the moment it exists.
          testing_support::write_whole(result, R"({"ok": true})");
        });
      },
      PollPolicy{600, std::chrono::milliseconds(5)});  // at least 3 s: generous under load
  manager.join();
  ASSERT_TRUE(reply.has_value()) << reply.error().text;
  EXPECT_EQ(to_compact_json(*reply), R"({"launched":false,"ok":true})");
  EXPECT_EQ(file_names(results), std::vector<std::string>{});
}

TEST_F(SubmitHandoff, NoResultWithdrawsTheRequestAndRepliesWithTheKindsTimeout) {
  struct Case {
    const char* label;
    HandoffKind kind;
    const char* reply;
  };
  const Case cases[] = {
      {"download", HandoffKind::kAddDownload,
       R"({"error":"QLX did not confirm the download within 35 seconds. The browser download was left untouched.","launched":false,"ok":false})"},
      {"import", HandoffKind::kImportBrowserFile,
       R"({"error":"QLX did not confirm the browser-generated file within 35 seconds","ok":false})"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    bool written = false;
    auto reply = submit_handoff(
        c.kind, add_download_body(), [&] { written = new_requests().size() == 1; },
        PollPolicy{3, std::chrono::milliseconds(1)});
    ASSERT_TRUE(reply.has_value()) << reply.error().text;
    EXPECT_TRUE(written);
    EXPECT_EQ(to_compact_json(*reply), c.reply);
    EXPECT_EQ(new_requests(), std::vector<std::string>{});
  }
}

TEST_F(SubmitHandoff, ResultThatIsNotUtf8FailsAndBothFilesStay) {
  std::string name;
  auto reply = submit_handoff(
      HandoffKind::kAddDownload, add_download_body(),
      [&] {
        name = the_request();
        ASSERT_TRUE(write_file(results / name, "{\"ok\": \"\xC3\x28\"}"));
      },
      kQuick);
  ASSERT_FALSE(reply.has_value());
  EXPECT_EQ(reply.error().text, "stream did not contain valid UTF-8");
  EXPECT_EQ(new_requests(), std::vector<std::string>{name});
  EXPECT_EQ(file_names(results), std::vector<std::string>{name});
  (void)remove_file(results / name);
}

TEST_F(SubmitHandoff, InboxThatCannotBeCreatedFailsBeforeAnythingElse) {
  ASSERT_EQ(inbox.parent_path().parent_path().parent_path(), temp.path);
  ASSERT_TRUE(ensure_dir(inbox.parent_path()));
  ASSERT_TRUE(write_file(inbox, "a file where the inbox belongs"));
  bool hook_ran = false;
  auto reply = submit_handoff(
      HandoffKind::kAddDownload, add_download_body(), [&] { hook_ran = true; }, kQuick);
  ASSERT_FALSE(reply.has_value());
  EXPECT_NE(reply.error().text.find(" (os error "), std::string::npos) << reply.error().text;
  EXPECT_FALSE(hook_ran);
  EXPECT_FALSE(path_exists(results)) << "inbox-results is not attempted after inbox failed";
}

TEST_F(SubmitHandoff, RunningStandInServesAnImportRequest) {
  // The stand-in as the transfer tests use it: it copies the named file.
  const Path source = temp.path / "browser file.bin";
  const Path imported = temp.path / "imported.bin";
  const std::string bytes("generated\0by the browser\xff", 26);
  ASSERT_TRUE(write_file(source, bytes));
  const Path records = temp.path / "records";
  ASSERT_TRUE(ensure_dir(records));
  ChildOptions manager;
  manager.program = testing_support::stand_in_executable();
  manager.env = testing_support::local_app_data_env(temp.path);
  manager.env.push_back({"QLX_STAND_IN_IMPORT_TO", path_to_utf8(imported)});
  manager.env.push_back({"QLX_STAND_IN_RECORD_DIR", path_to_utf8(records)});
  auto running = start_child(manager);
  ASSERT_TRUE(running.has_value()) << running.error().text;

  Json body = Json::object();
  body["type"] = "import_browser_file";
  body["temp_path"] = path_to_utf8(source);
  auto reply = submit_handoff(HandoffKind::kImportBrowserFile, body, {},
                              PollPolicy{600, std::chrono::milliseconds(50)});
  (void)write_file(records / "stop", "");
  EXPECT_EQ(wait_child(*running).value_or(-1), 0);
  ASSERT_TRUE(reply.has_value()) << reply.error().text;
  EXPECT_EQ(to_compact_json(*reply),
            R"({"launched":false,"ok":true,"received":"import_browser_file"})");
  EXPECT_EQ(read_file(imported).value_or("(missing)"), bytes);
}

}  // namespace
}  // namespace qlx
