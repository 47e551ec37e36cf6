// Faults of the shared data directory that only POSIX can make without root:
// FIFOs (whose plain open blocks), links to /dev/zero (endless to read),
// writes that fail through a file size limit, a data directory path that is
// not UTF-8.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include <sys/stat.h>

#include "host/frame.h"
#include "support/case_name.h"
#include "support/fault_case.h"
#include "support/host_session.h"
#include "support/unwritable_file.h"

namespace qlx::testing_support {
namespace {

namespace fs = std::filesystem;

void make_fifo(const Path& path) {
  fs::create_directories(path.parent_path());
  ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0) << path.string();
}

void link_to_zero(const Path& path) {
  fs::create_directories(path.parent_path());
  fs::create_symlink("/dev/zero", path);
}

/// Setup: the transfer "tampered-1" with `part` and `json` made by `make`
/// (the other file regular, holding "ABC" or the bare metadata).
std::function<void(const Path&)> transfer_with(void (*make)(const Path&), bool partial_made) {
  return [make, partial_made](const Path& d) {
    const Path partial = d / "browser-transfers/tampered-1.part";
    const Path metadata = d / "browser-transfers/tampered-1.json";
    if (partial_made) {
      make(partial);
      put_file(metadata, R"({"expected_size": 0})");
    } else {
      put_file(partial, "ABC");
      make(metadata);
    }
  };
}

const std::string kChunk = chunk_message("tampered-1", "QUJD");
const std::string kEnd = end_message("tampered-1");

// A FIFO in place of any file: opening it must not block the host.
INSTANTIATE_TEST_SUITE_P(
    Fifos, DataDirFaults,
    testing::Values(FaultCase{.name = "LockFile",
                              .setup = [](const Path& d) { make_fifo(d / kLock); },
                              .messages = {kPingEdge},
                              .replies = {kPong},
                              .files = {{kLock, kFifo},
                                        {kLegacy, legacy_after_ping_edge()},
                                        {kPerBrowser, per_browser_file({edge_entry()})}}},
                    FaultCase{.name = "LegacyFile",
                              .setup = [](const Path& d) { make_fifo(d / kLegacy); },
                              .messages = {kPingEdge},
                              .replies = {kPong},
                              .files = {{kLegacy, kFifo}, {kPerBrowser, kAbsent}}},
                    FaultCase{.name = "PerBrowserFile",
                              .setup = [](const Path& d) { make_fifo(d / kPerBrowser); },
                              .messages = {kPingEdge},
                              .replies = {kPong},
                              .files = {{kLegacy, legacy_after_ping_edge()}, {kPerBrowser, kFifo}}},
                    FaultCase{.name = "PartialFile",
                              .setup = transfer_with([](const Path& p) { make_fifo(p); }, true),
                              .messages = {kChunk, kPingEdge},
                              .replies = {error_reply("not a regular file")},
                              .files = {{"browser-transfers/tampered-1.part", kFifo}}},
                    FaultCase{.name = "PartialFileAtTheEnd",
                              .setup = transfer_with([](const Path& p) { make_fifo(p); }, true),
                              .messages = {kEnd, kPingEdge},
                              .replies = {error_reply("not a regular file")},
                              .files = {{"browser-transfers/tampered-1.part", kFifo},
                                        {"inbox", kAbsent}}},
                    FaultCase{.name = "MetadataFile",
                              .setup = transfer_with([](const Path& p) { make_fifo(p); }, false),
                              .messages = {kEnd, kPingEdge},
                              .replies = {error_reply("not a regular file")},
                              .files = {{"browser-transfers/tampered-1.part", "ABC"},
                                        {"browser-transfers/tampered-1.json", kFifo},
                                        {"inbox", kAbsent}}},
                    FaultCase{.name = "ResultFile",
                              .messages = {kDownload, kPingEdge},
                              .replies = {error_reply("not a regular file")},
                              .files = {{"inbox/{id}.json", kDownloadRequest},
                                        {"inbox-results/{id}.json", kFifo}},
                              .answer = [](const Path& result) { make_fifo(result); }}),
    CaseName());

// A link to /dev/zero in place of a file the host reads: never read at all.
INSTANTIATE_TEST_SUITE_P(
    LinksToDevZero, DataDirFaults,
    testing::Values(FaultCase{.name = "LegacyFile",
                              .setup = [](const Path& d) { link_to_zero(d / kLegacy); },
                              .messages = {kPingEdge},
                              .replies = {kPong},
                              .files = {{kLegacy, kLink}, {kPerBrowser, kAbsent}}},
                    FaultCase{.name = "PerBrowserFile",
                              .setup = [](const Path& d) { link_to_zero(d / kPerBrowser); },
                              .messages = {kPingEdge, kPingEdge},
                              .replies = {kPong, kPong},
                              .files = {{kLegacy, legacy_after_ping_edge()}, {kPerBrowser, kLink}}},
                    FaultCase{.name = "PartialFile",
                              .setup = transfer_with(link_to_zero, true),
                              .messages = {kEnd, kPingEdge},
                              .replies = {error_reply("not a regular file")},
                              .files = {{"browser-transfers/tampered-1.part", kLink},
                                        {"inbox", kAbsent}}},
                    FaultCase{.name = "MetadataFile",
                              .setup = transfer_with(link_to_zero, false),
                              .messages = {kEnd, kPingEdge},
                              .replies = {error_reply("not a regular file")},
                              .files = {{"browser-transfers/tampered-1.part", "ABC"},
                                        {"browser-transfers/tampered-1.json", kLink},
                                        {"inbox", kAbsent}}},
                    FaultCase{.name = "ResultFile",
                              .messages = {kDownload, kPingEdge},
                              .replies = {error_reply("not a regular file")},
                              .files = {{"inbox/{id}.json", kDownloadRequest},
                                        {"inbox-results/{id}.json", kLink}},
                              .answer = [](const Path& result) { link_to_zero(result); }}),
    CaseName());

// The per-browser file of another browser, 4,000 bytes long: the edge entry
// would grow it past a 4,096-byte limit.
const std::string kLongChromeEntry = [] {
  std::string text = per_browser_file({per_browser_entry("chrome", std::string(3'880, 'c'), "1")});
  text.replace(text.find('T'), 1, "5");
  return text;
}();
const std::string kLongUrl = "https://a.example/" + std::string(5'000, 'u');

// Writes that fail half-way (a full disk, here a file size limit): no file is
// left torn, no request file stays behind.
INSTANTIATE_TEST_SUITE_P(
    FailingWrites, DataDirFaults,
    testing::Values(
        FaultCase{.name = "PerBrowserFileKeepsItsOldContent",
                  .setup = [](const Path& d) { put_file(d / kPerBrowser, kLongChromeEntry); },
                  .messages = {kPingEdge, kPingEdge},
                  .replies = {kPong, kPong},
                  .files = {{kLegacy, legacy_after_ping_edge()},
                            {kPerBrowser, with_timestamps_as_t(kLongChromeEntry)}},
                  .file_size_limit = 4'096},
        FaultCase{.name = "LegacyFileKeepsItsOldContent",
                  .setup = [](const Path& d) { put_file(d / kLegacy, R"({"older": true})"); },
                  .messages = {kPingEdge},
                  .replies = {kPong},
                  .files = {{kLegacy, R"({"older": true})"}, {kPerBrowser, kAbsent}},
                  .file_size_limit = 100},
        FaultCase{.name = "RequestFileIsDeleted",
                  .messages = {R"({"type":"add_download","url":")" + kLongUrl + R"("})", kPingEdge},
                  .replies = {error_reply("File too large (os error 27)")},
                  .check =
                      [](const Path& d) {
                        EXPECT_TRUE(fs::is_empty(d / "inbox"));
                        EXPECT_TRUE(fs::is_empty(d / "inbox-staging"));
                      },
                  .file_size_limit = 4'096},
        FaultCase{
            .name = "ShorterContentIsCut",
            .setup = [](const Path& d) { put_file(d / kPerBrowser, kLongChromeEntry); },
            .messages = {kPingEdge, R"({"type":"ping","browser_id":"chrome","extension_id":"c"})"},
            .replies = {kPong, kPong},
            .files = {{kPerBrowser, per_browser_file({per_browser_entry("chrome", "c", "legacy"),
                                                      edge_entry()})}}}),
    CaseName());

// An inbox that the host may not add to: the request, written whole in the
// staging folder, cannot be renamed into it.  The staged file goes, and the
// failure ends the connection as a failed write does.
TEST(RequestRename, FailureDeletesTheStagedFileAndEndsTheConnection) {
  TempDir temp;
  const Path data = data_dir_under(temp.path);
  fs::create_directories(data / "inbox");
  fs::permissions(data / "inbox", fs::perms::owner_read | fs::perms::owner_exec);
  HostOptions options;
  options.env = local_app_data_env(temp.path);
  const HostRun run =
      run_host(frame_bytes(kDownload) + frame_bytes(kPingEdge), for_unwritable_files(options));
  fs::permissions(data / "inbox", fs::perms::owner_all);
  EXPECT_EQ(run.replies(),
            std::vector<std::string>{error_reply("Permission denied (os error 13)")});
  EXPECT_EQ(run.exit_code, 0);
  EXPECT_EQ(run.errors, "");
  EXPECT_TRUE(fs::is_empty(data / "inbox"));
  EXPECT_TRUE(fs::is_empty(data / "inbox-staging"));
}

// A data directory that cannot be named to the download manager in UTF-8.
INSTANTIATE_TEST_SUITE_P(
    NotUtf8, DataDirFaults,
    testing::Values(
        FaultCase{.name = "Download",
                  .messages = {kPingEdge, kDownload, kPingEdge},
                  .replies = {kPong, error_reply("No local data directory")},
                  .files = {{kLegacy, kAbsent}, {kPerBrowser, kAbsent}, {"inbox", kAbsent}},
                  .local_app_data_name = "local-\xff"},
        FaultCase{.name = "Transfer",
                  .messages = {R"({"type":"blob_begin","transfer_id":"not-utf-8"})", kPingEdge},
                  .replies = {error_reply("No local data directory")},
                  .files = {{kLegacy, kAbsent}, {"browser-transfers", kAbsent}},
                  .local_app_data_name = "local-\xff"}),
    CaseName());

}  // namespace
}  // namespace qlx::testing_support
