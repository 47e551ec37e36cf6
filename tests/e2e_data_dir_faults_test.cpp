// The data directory is shared with another program: the host meets files in
// it that are not regular files, files too large to read, handed-over
// transfers, and results too large for the browser.  These cases run on
// Linux and under Wine; FIFOs, links to devices and write limits are in
// e2e_data_dir_faults_posix_test.cpp.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "base/reply.h"
#include "platform/fs.h"
#include "support/case_name.h"
#include "support/fault_case.h"
#include "support/file_age.h"

namespace qlx::testing_support {
namespace {

namespace fs = std::filesystem;

/// `json` followed by spaces up to `size` bytes.
std::string padded(std::string_view json, std::size_t size) {
  std::string text(json);
  text.append(size - json.size(), ' ');
  return text;
}

/// A result object whose reply, with "launched":false, is `reply_size` bytes.
std::string result_of_reply_size(std::size_t reply_size) {
  const std::size_t frame = std::string(R"({"launched":false,"x":""})").size();
  return std::string(R"({"x":")") + std::string(reply_size - frame, 'a') + R"("})";
}

/// [1,1,...,1] of `count` elements.
std::string array_of_ones(std::size_t count) {
  std::string text = "[";
  for (std::size_t i = 0; i < count; ++i) text += i ? ",1" : "1";
  return text + "]";
}

/// Plays a download manager that answers with `text` (built when it answers).
std::function<void(const Path&)> answer_with(Bytes text) {
  return [text](const Path& result) { write_whole(result, text.get()); };
}

/// Bytes that `make(size)` builds when the test runs.
Bytes built(std::string (*make)(std::size_t), std::size_t size) {
  return Bytes::built_by([make, size] { return make(size); });
}

/// An empty object followed by spaces up to `size` bytes.
std::string padded_object(std::size_t size) {
  return padded("{}", size);
}

/// The reply that relays a result of result_of_reply_size(size).
std::string reply_of_size(std::size_t size) {
  return std::string(R"({"launched":false,"x":")") + std::string(size - 25, 'a') + R"("})";
}

const std::string kChromeEntryJson =
    R"({"chrome": {"timestamp_ms": 5, "extension_id": "c", "extension_version": "1"}})";
const std::string kHandoffTooLarge = R"({"error":"QLX returned a handoff result too large for )"
                                     R"(the browser","launched":false,"ok":false})";
const std::string kImportTooLarge = R"({"error":"QLX returned an import result too large for )"
                                    R"(the browser","launched":false,"ok":false})";

TEST_P(DataDirFaults, AnswersAndLeavesTheFilesAsExpected) {
  run_fault_case(GetParam());
}

// Something else than a regular file where the host expects one.
INSTANTIATE_TEST_SUITE_P(
    NotRegularFiles, DataDirFaults,
    testing::Values(FaultCase{.name = "LockFileIsADirectory",
                              .setup = [](const Path& d) { fs::create_directory(d / kLock); },
                              .messages = {kPingEdge},
                              .replies = {kPong},
                              .files = {{kLock, kDirectory},
                                        {kLegacy, legacy_after_ping_edge()},
                                        {kPerBrowser, per_browser_file({edge_entry()})}}},
                    FaultCase{.name = "LegacyFileIsADirectory",
                              .setup = [](const Path& d) { fs::create_directory(d / kLegacy); },
                              .messages = {kPingEdge, kPingEdge},
                              .replies = {kPong, kPong},
                              .files = {{kLegacy, kDirectory}, {kPerBrowser, kAbsent}}},
                    FaultCase{
                        .name = "PerBrowserFileIsADirectory",
                        .setup = [](const Path& d) { fs::create_directory(d / kPerBrowser); },
                        .messages = {kPingEdge},
                        .replies = {kPong},
                        .files = {{kLegacy, legacy_after_ping_edge()}, {kPerBrowser, kDirectory}}},
                    FaultCase{.name = "PartialFileIsADirectory",
                              .setup =
                                  [](const Path& d) {
                                    fs::create_directories(d / "browser-transfers/tampered-1.part");
                                    put_file(d / "browser-transfers/tampered-1.json",
                                             kBareMetadata);
                                  },
                              .messages = {chunk_message("tampered-1", "QUJD"), kPingEdge},
                              .replies = {error_reply("not a regular file")},
                              .files = {{"browser-transfers/tampered-1.part", kDirectory},
                                        {"browser-transfers/tampered-1.json", kBareMetadata}}},
                    FaultCase{.name = "MetadataFileIsADirectory",
                              .setup =
                                  [](const Path& d) {
                                    put_file(d / "browser-transfers/tampered-1.part", "ABC");
                                    fs::create_directories(d / "browser-transfers/tampered-1.json");
                                  },
                              .messages = {end_message("tampered-1"), kPingEdge},
                              .replies = {error_reply("not a regular file")},
                              .files = {{"browser-transfers/tampered-1.part", "ABC"},
                                        {"browser-transfers/tampered-1.json", kDirectory},
                                        {"inbox", kAbsent}}},
                    FaultCase{.name = "ResultFileIsADirectory",
                              .messages = {kDownload, kPingEdge},
                              .replies = {error_reply("not a regular file")},
                              .files = {{"inbox/{id}.json", kDownloadRequest},
                                        {"inbox-results/{id}.json", kDirectory}},
                              .answer = [](const Path& result) { fs::create_directory(result); }}),
    CaseName());

// Files larger than the host reads, and results larger than the browser takes.
INSTANTIATE_TEST_SUITE_P(
    Sizes, DataDirFaults,
    testing::Values(
        FaultCase{.name = "PerBrowserFileOfOneMiBIsRead",
                  .setup =
                      [](const Path& d) {
                        put_file(d / kPerBrowser, padded(kChromeEntryJson, 1024 * 1024));
                      },
                  .messages = {kPingEdge},
                  .replies = {kPong},
                  .files = {{kPerBrowser, per_browser_file({per_browser_entry("chrome", "c", "1"),
                                                            edge_entry()})}}},
        FaultCase{.name = "PerBrowserFileOverOneMiBIsWrittenAnew",
                  .setup =
                      [](const Path& d) {
                        put_file(d / kPerBrowser, padded(kChromeEntryJson, 1024 * 1024 + 1));
                      },
                  .messages = {kPingEdge},
                  .replies = {kPong},
                  .files = {{kPerBrowser, per_browser_file({edge_entry()})}}},
        FaultCase{.name = "MetadataFileOver16MiB",
                  .setup =
                      [](const Path& d) {
                        put_file(d / "browser-transfers/too-large-1.part", "");
                        put_file(d / "browser-transfers/too-large-1.json",
                                 padded("{}", kMaxFileRead + 1));
                      },
                  .messages = {end_message("too-large-1"), kPingEdge},
                  .replies = {error_reply("file is larger than 16 MiB")},
                  .files = {{"browser-transfers/too-large-1.part", ""}, {"inbox", kAbsent}}},
        FaultCase{
            .name = "ReplyOfExactlyTheLimitIsRelayed",
            .messages = {kDownload, kPingEdge},
            .replies = {built(reply_of_size, kMaxReplyBytes), kPong},
            .files = {{"inbox/{id}.json", kDownloadRequest}, {"inbox-results/{id}.json", kAbsent}},
            .answer = answer_with(built(result_of_reply_size, kMaxReplyBytes))},
        FaultCase{
            .name = "ReplyOneByteOverTheLimit",
            .messages = {kDownload, kPingEdge},
            .replies = {kHandoffTooLarge, kPong},
            .files = {{"inbox/{id}.json", kDownloadRequest}, {"inbox-results/{id}.json", kAbsent}},
            .answer = answer_with(built(result_of_reply_size, kMaxReplyBytes + 1))},
        FaultCase{.name = "ArrayResultOverTheLimit",
                  .messages = {kDownload, kPingEdge},
                  .replies = {kHandoffTooLarge, kPong},
                  .files = {{"inbox-results/{id}.json", kAbsent}},
                  .answer = answer_with(built(array_of_ones, kMaxReplyBytes / 2 + 1))},
        FaultCase{
            .name = "ResultFileOver16MiBIsNotRead",
            .messages = {kDownload, kPingEdge},
            .replies = {kHandoffTooLarge, kPong},
            .files = {{"inbox/{id}.json", kDownloadRequest}, {"inbox-results/{id}.json", kAbsent}},
            .answer = answer_with(built(padded_object, kMaxFileRead + 1))},
        FaultCase{
            .name = "ImportResultOverTheLimit",
            .messages = {begin_message("large-import"), end_message("large-import"), kPingEdge},
            .replies = {begun_reply("large-import"), kImportTooLarge, kPong},
            .files = {{"browser-transfers/large-import.part", ""},
                      {"browser-transfers/large-import.json", kAbsent},
                      {"inbox-results/{id}.json", kAbsent}},
            .answer = answer_with(built(result_of_reply_size, kMaxReplyBytes + 1))}),
    CaseName());

// A partial file without its metadata file was handed to the download manager.
INSTANTIATE_TEST_SUITE_P(
    HandedOver, DataDirFaults,
    testing::Values(
        FaultCase{
            .name = "PartialWithoutMetadataIsKept",
            .setup = [](const Path& d) { put_file(d / "browser-transfers/held-over.part", "ABC"); },
            .messages = {begin_message("held-over"), kPingEdge},
            .replies = {error_reply("browser transfer was already handed over")},
            .files = {{"browser-transfers/held-over.part", "ABC"},
                      {"browser-transfers/held-over.json", kAbsent}}},
        FaultCase{.name = "OpenTransferStartsOver",
                  .setup =
                      [](const Path& d) {
                        put_file(d / "browser-transfers/still-open.part", "ABC");
                        put_file(d / "browser-transfers/still-open.json", "{}");
                      },
                  .messages = {begin_message("still-open"), kPingEdge},
                  .replies = {begun_reply("still-open"), kPong},
                  .files = {{"browser-transfers/still-open.part", ""},
                            {"browser-transfers/still-open.json", kBareMetadata}}},
        FaultCase{
            .name = "MetadataWithoutPartialStartsOver",
            .setup = [](const Path& d) { put_file(d / "browser-transfers/half-gone.json", "{}"); },
            .messages = {begin_message("half-gone"), kPingEdge},
            .replies = {begun_reply("half-gone"), kPong},
            .files = {{"browser-transfers/half-gone.part", ""},
                      {"browser-transfers/half-gone.json", kBareMetadata}}},
        FaultCase{.name = "BeginAgainAfterTheHandover",
                  .messages = {begin_message("handed-over"), chunk_message("handed-over", "QUJD"),
                               end_message("handed-over"), begin_message("handed-over"), kPingEdge},
                  .replies = {begun_reply("handed-over"), R"({"ok":true,"received":3})",
                              R"({"launched":false,"ok":true})",
                              error_reply("browser transfer was already handed over")},
                  .files = {{"browser-transfers/handed-over.part", "ABC"},
                            {"browser-transfers/handed-over.json", kAbsent},
                            {"inbox-results/{id}.json", kAbsent}},
                  .answer = answer_with(R"({"ok": true})")}),
    CaseName());

// A receiving transfer that nobody touched for a day was abandoned: the next
// blob_begin of any transfer removes it.  Handed-over partial files and
// files that are no transfer's are never touched.
constexpr std::chrono::hours kOld{25};
constexpr std::chrono::hours kRecent{23};

/// Setup: `name` in the transfers directory holding `bytes`, last modified
/// `age` ago.
void aged_file(const Path& d, const std::string& name, const std::string& bytes,
               std::chrono::seconds age) {
  put_file(d / "browser-transfers" / name, bytes);
  set_file_age(d / "browser-transfers" / name, age);
}

/// The files that a blob_begin of "next-transfer" leaves, and `more`.
std::vector<std::pair<std::string, std::string>> after_next_begin(
    std::vector<std::pair<std::string, std::string>> more) {
  more.emplace_back("browser-transfers/next-transfer.part", "");
  more.emplace_back("browser-transfers/next-transfer.json", kBareMetadata);
  return more;
}

INSTANTIATE_TEST_SUITE_P(
    Abandoned, DataDirFaults,
    testing::Values(
        FaultCase{.name = "TransferUntouchedForADayIsRemoved",
                  .setup =
                      [](const Path& d) {
                        aged_file(d, "old-transfer.part", "ABC", kOld);
                        aged_file(d, "old-transfer.json", kBareMetadata, kOld);
                      },
                  .messages = {begin_message("next-transfer"), kPingEdge},
                  .replies = {begun_reply("next-transfer"), kPong},
                  .files = after_next_begin({{"browser-transfers/old-transfer.part", kAbsent},
                                             {"browser-transfers/old-transfer.json", kAbsent}})},
        FaultCase{.name = "MetadataWithoutPartialUntouchedForADayIsRemoved",
                  .setup = [](const Path& d) { aged_file(d, "half-made.json", "{}", kOld); },
                  .messages = {begin_message("next-transfer"), kPingEdge},
                  .replies = {begun_reply("next-transfer"), kPong},
                  .files = after_next_begin({{"browser-transfers/half-made.json", kAbsent}})},
        FaultCase{
            .name = "TransferOfLessThanADayIsKept",
            .setup =
                [](const Path& d) {
                  aged_file(d, "young-transfer.part", "ABC", kRecent);
                  aged_file(d, "young-transfer.json", kBareMetadata, kRecent);
                },
            .messages = {begin_message("next-transfer"), kPingEdge},
            .replies = {begun_reply("next-transfer"), kPong},
            .files = after_next_begin({{"browser-transfers/young-transfer.part", "ABC"},
                                       {"browser-transfers/young-transfer.json", kBareMetadata}})},
        FaultCase{
            .name = "RecentChunkKeepsAnOldTransfer",
            .setup =
                [](const Path& d) {
                  aged_file(d, "slow-transfer.part", "ABC", kRecent);
                  aged_file(d, "slow-transfer.json", kBareMetadata, kOld);
                },
            .messages = {begin_message("next-transfer"), kPingEdge},
            .replies = {begun_reply("next-transfer"), kPong},
            .files = after_next_begin({{"browser-transfers/slow-transfer.part", "ABC"},
                                       {"browser-transfers/slow-transfer.json", kBareMetadata}})},
        FaultCase{.name = "HandedOverPartialIsKept",
                  .setup = [](const Path& d) { aged_file(d, "taken-over.part", "ABC", kOld); },
                  .messages = {begin_message("next-transfer"), kPingEdge},
                  .replies = {begun_reply("next-transfer"), kPong},
                  .files = after_next_begin({{"browser-transfers/taken-over.part", "ABC"}})},
        FaultCase{.name = "FilesOfNoTransferAreKept",
                  .setup =
                      [](const Path& d) {
                        aged_file(d, "short.json", "{}", kOld);
                        aged_file(d, "not.an.id.json", "{}", kOld);
                        aged_file(d, "not.an.id.part", "ABC", kOld);
                        aged_file(d, "notes-file.txt", "x", kOld);
                      },
                  .messages = {begin_message("next-transfer"), kPingEdge},
                  .replies = {begun_reply("next-transfer"), kPong},
                  .files = after_next_begin({{"browser-transfers/short.json", "{}"},
                                             {"browser-transfers/not.an.id.json", "{}"},
                                             {"browser-transfers/not.an.id.part", "ABC"},
                                             {"browser-transfers/notes-file.txt", "x"}})},
        FaultCase{.name = "AbandonedTransferOfTheSameIdStartsOver",
                  .setup =
                      [](const Path& d) {
                        aged_file(d, "next-transfer.part", "ABC", kOld);
                        aged_file(d, "next-transfer.json", "{}", kOld);
                      },
                  .messages = {begin_message("next-transfer"), kPingEdge},
                  .replies = {begun_reply("next-transfer"), kPong},
                  .files = after_next_begin({})}),
    CaseName());

// A host killed while it wrote a request leaves it in inbox-staging, never
// in the inbox: the next handoff removes it once it is a day old.  Files of
// another form are never touched.
constexpr const char* kStagedId = "0b4e28ba-2fa1-41d2-883f-0016d3cca427";

/// Setup: `name` in the staging folder holding `bytes`, last modified `age` ago.
void aged_staged_file(const Path& d, const std::string& name, const std::string& bytes,
                      std::chrono::seconds age) {
  put_file(d / "inbox-staging" / name, bytes);
  set_file_age(d / "inbox-staging" / name, age);
}

/// Check: the staging folder holds exactly `names`.
std::function<void(const Path&)> staging_holds(std::vector<std::string> names) {
  return [names](const Path& d) {
    std::vector<std::string> found;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(d / "inbox-staging", error)) {
      found.push_back(entry.path().filename().string());
    }
    std::sort(found.begin(), found.end());
    EXPECT_EQ(found, names);
  };
}

INSTANTIATE_TEST_SUITE_P(
    Staged, DataDirFaults,
    testing::Values(
        FaultCase{.name = "AnsweredRequestLeavesNothingStaged",
                  .messages = {kDownload, kPingEdge},
                  .replies = {R"({"launched":false,"ok":true})", kPong},
                  .files = {{"inbox/{id}.json", kDownloadRequest}},
                  .answer = answer_with(R"({"ok": true})"),
                  .check = staging_holds({})},
        FaultCase{.name = "RequestStagedADayAgoIsRemoved",
                  .setup =
                      [](const Path& d) {
                        aged_staged_file(d, std::string(kStagedId) + ".tmp", "{\n  \"ty", kOld);
                      },
                  .messages = {kDownload, kPingEdge},
                  .replies = {R"({"launched":false,"ok":true})", kPong},
                  .files = {{"inbox/{id}.json", kDownloadRequest}},
                  .answer = answer_with(R"({"ok": true})"),
                  .check = staging_holds({})},
        FaultCase{.name = "RequestStagedLessThanADayAgoIsKept",
                  .setup =
                      [](const Path& d) {
                        aged_staged_file(d, std::string(kStagedId) + ".tmp", "", kRecent);
                      },
                  .messages = {kDownload, kPingEdge},
                  .replies = {R"({"launched":false,"ok":true})", kPong},
                  .files = {{"inbox/{id}.json", kDownloadRequest},
                            {std::string("inbox-staging/") + kStagedId + ".tmp", ""}},
                  .answer = answer_with(R"({"ok": true})")},
        FaultCase{
            .name = "FilesOfNoStagedRequestAreKept",
            .setup =
                [](const Path& d) {
                  aged_staged_file(d, std::string(kStagedId) + ".json", "{}", kOld);
                  aged_staged_file(d, "0B4E28BA-2FA1-41D2-883F-0016D3CCA427.tmp", "", kOld);
                  aged_staged_file(d, "short.tmp", "", kOld);
                  aged_staged_file(d, "notes.txt", "x", kOld);
                },
            .messages = {kDownload, kPingEdge},
            .replies = {R"({"launched":false,"ok":true})", kPong},
            .files = {{"inbox/{id}.json", kDownloadRequest}},
            .answer = answer_with(R"({"ok": true})"),
            .check = staging_holds({"0B4E28BA-2FA1-41D2-883F-0016D3CCA427.tmp",
                                    std::string(kStagedId) + ".json", "notes.txt", "short.tmp"})}),
    CaseName());

}  // namespace
}  // namespace qlx::testing_support
