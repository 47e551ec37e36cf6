// Files that another program holds for a moment, as antivirus scanners,
// indexers and the download manager's own writes do on Windows: the host
// waits them out instead of failing at first sight.  tools/hold-file holds
// them; Wine enforces share modes as Windows does.
#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>
#include <cstddef>
#include <filesystem>
#include <optional>
#include <set>
#include <span>
#include <string>
#include <thread>
#include <vector>

#include <nlohmann/json.hpp>

#include "child_process/child_process.h"
#include "support/case_name.h"
#include "support/fault_case.h"
#include "support/files.h"
#include "support/host_session.h"
#include "support/manager_player.h"

namespace qlx::testing_support {
namespace {

/// Starts tools/hold-file on `path` with `share` ("-" or letters of "rwd")
/// for `ms` milliseconds, and returns once it holds the file.  With `text`
/// it creates the file holding `text` first.
ChildProcess hold(const Path& path, const std::string& share, int ms,
                  const std::optional<std::string>& text = std::nullopt) {
  ChildOptions options;
  options.program = programs_dir() / executable_name("hold-file");
  options.arguments = {path_to_utf8(path), share, std::to_string(ms)};
  if (text) options.arguments.push_back(*text);
  auto child = start_child(options);
  EXPECT_TRUE(child) << (child ? "" : child.error().text);
  if (!child) return {};
  std::string line(5, '\0');
  line.resize(read_child_output_fully(*child, std::as_writable_bytes(std::span(line))));
  EXPECT_EQ(line, "held\n") << path.string();
  return std::move(*child);
}

/// Waits until the holder has let go (and checks that it held the file).
void let_go(ChildProcess& holder) {
  auto code = wait_child(holder);
  ASSERT_TRUE(code) << code.error().text;
  EXPECT_EQ(*code, 0);
}

/// Plays a download manager that writes the result `text` and holds the
/// file with `share` for 400 ms.
std::function<void(const Path&)> answer_held(const std::string& share, std::string text) {
  return [share, text](const Path& result) {
    ChildProcess holder = hold(result, share, 400, text);
    let_go(holder);
  };
}

// Run by DataDirFaults.AnswersAndLeavesTheFilesAsExpected.
INSTANTIATE_TEST_SUITE_P(Held, DataDirFaults,
                         testing::Values(
                             // Shared with nobody while its writer has it: not there yet.
                             FaultCase{.name = "ResultHeldByItsWriter",
                                       .messages = {kDownload, kPingEdge},
                                       .replies = {R"({"launched":false,"ok":true})", kPong},
                                       .files = {{"inbox/{id}.json", kDownloadRequest},
                                                 {"inbox-results/{id}.json", kAbsent}},
                                       .answer = answer_held("-", R"({"ok": true})")},
                             // Readable, but not to be deleted for 400 ms: the deletion waits.
                             FaultCase{.name = "ResultHeldAgainstItsDeletion",
                                       .messages = {kDownload, kPingEdge},
                                       .replies = {R"({"launched":false,"ok":true})", kPong},
                                       .files = {{"inbox/{id}.json", kDownloadRequest},
                                                 {"inbox-results/{id}.json", kAbsent}},
                                       .answer = answer_held("r", R"({"ok": true})")}),
                         CaseName());

/// A host with a scratch data directory.
struct HeldFileHost : testing::Test {
  TempDir temp;
  Path data = data_dir_under(temp.path);
  HostSession host{options()};

  HostOptions options() const {
    HostOptions options;
    options.env = local_app_data_env(temp.path);
    return options;
  }

  void expect_clean_end() {
    const HostRun run = host.finish();
    EXPECT_EQ(run.replies(), std::vector<std::string>{});
    EXPECT_EQ(run.exit_code, 0);
    EXPECT_EQ(run.errors, "");
  }
};

TEST_F(HeldFileHost, ChunkWaitsForAScannerThatHoldsThePartialFile) {
  host.send(R"({"type":"blob_begin","transfer_id":"held-part"})");
  EXPECT_EQ(host.read_reply(), R"({"ok":true,"transfer_id":"held-part"})");
  host.send(R"({"type":"blob_chunk","transfer_id":"held-part","data_base64":"QUJD"})");
  EXPECT_EQ(host.read_reply(), R"({"ok":true,"received":3})");

  const Path partial = data / "browser-transfers/held-part.part";
  ChildProcess scanner = hold(partial, "r", 400);  // reading allowed, writing not
  host.send(R"({"type":"blob_chunk","transfer_id":"held-part","data_base64":"REVG"})");
  EXPECT_EQ(host.read_reply(), R"({"ok":true,"received":3})");
  let_go(scanner);
  EXPECT_EQ(describe_path(partial), "ABCDEF");
  expect_clean_end();
}

TEST_F(HeldFileHost, PerBrowserFileThatCannotBeReadKeepsItsEntries) {
  const std::string chrome =
      R"({"chrome": {"timestamp_ms": 5, "extension_id": "c", "extension_version": "1"}})";
  put_file(data / kPerBrowser, chrome);
  // Writable but not readable: rewriting it from an empty table would lose
  // the chrome entry.
  ChildProcess holder = hold(data / kPerBrowser, "w", 1000);
  host.send(kPingEdge);
  EXPECT_EQ(host.read_reply(), kPong);
  let_go(holder);
  EXPECT_EQ(describe_path(data / kPerBrowser), with_timestamps_as_t(chrome));
  EXPECT_EQ(describe_path(data / kLegacy), legacy_after_ping_edge());
  expect_clean_end();
}

// A scanner opens the request file while the host writes it in the staging
// folder, and keeps it for 300 ms without sharing deletion, so that renaming
// it into the inbox is refused at first: the host waits it out and hands the
// request over whole.  The scanner is a thread of this test that opens each
// staged file the moment it sees it; a request that it misses (renamed
// before it looked) is sent again.
TEST_F(HeldFileHost, RenameWaitsForAScannerThatHoldsTheStagedRequest) {
  std::string message = R"({"type":"add_download","url":"https://a.example/f.zip","deep":)";
  message += std::string(119, '[') + "[0";
  for (int i = 1; i < 20'000; ++i) message += ",1";
  message += std::string(120, ']') + "}";

  std::atomic<bool> stop{false};
  std::atomic<int> held{0};
  std::thread scanner([&] {
    const std::wstring pattern = (data / "inbox-staging" / "*.tmp").wstring();
    std::set<std::wstring> scanned;  // each file once, as a scanner does
    while (!stop) {
      WIN32_FIND_DATAW found;
      const HANDLE search = FindFirstFileW(pattern.c_str(), &found);
      if (search == INVALID_HANDLE_VALUE) continue;
      FindClose(search);
      if (!scanned.insert(found.cFileName).second) continue;
      const HANDLE file = CreateFileW((data / "inbox-staging" / found.cFileName).c_str(),
                                      GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
      if (file == INVALID_HANDLE_VALUE) continue;
      ++held;
      Sleep(300);
      CloseHandle(file);
    }
  });
  // A manager that answers every request once it is in the inbox.
  std::vector<std::string> not_whole;
  std::thread manager([&] {
    std::set<Path> answered;
    while (!stop) {
      std::error_code error;
      for (const auto& entry : std::filesystem::directory_iterator(data / "inbox", error)) {
        if (answered.contains(entry.path().filename())) continue;
        const std::string text = file_text(entry.path());
        // Held for a moment by the rename's own handle: look again.
        if (text.starts_with("<unreadable: ")) continue;
        answered.insert(entry.path().filename());
        if (!nlohmann::json::accept(text)) {
          not_whole.push_back(entry.path().filename().string());
        }
        write_whole(data / "inbox-results" / entry.path().filename(), R"({"ok": true})");
      }
      Sleep(2);
    }
  });
  for (int attempt = 0; attempt < 10 && held == 0; ++attempt) {
    host.send(message);
    EXPECT_EQ(host.read_reply(), R"({"launched":false,"ok":true})") << "attempt " << attempt;
  }
  stop = true;
  scanner.join();
  manager.join();
  EXPECT_GT(held, 0) << "the scanner never caught a staged request";
  EXPECT_EQ(not_whole, std::vector<std::string>{});
  EXPECT_TRUE(std::filesystem::is_empty(data / "inbox-staging"));
  expect_clean_end();
}

}  // namespace
}  // namespace qlx::testing_support
