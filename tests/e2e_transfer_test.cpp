// Browser-generated files through the real host: blob_begin, blob_chunk and
// blob_end over pipes, with the test playing the download manager where an
// import needs an answer.
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "host/frame.h"
#include "platform/error.h"
#include "platform/fs.h"
#include "support/host_session.h"

namespace qlx {
namespace {

using testing_support::data_dir_under;
using testing_support::HostOptions;
using testing_support::HostRun;
using testing_support::HostSession;
using testing_support::local_app_data_env;
using testing_support::TempDir;

constexpr std::string_view kPing = R"({"type":"ping"})";
constexpr std::string_view kPong = R"({"host":"com.velmont.qlx","ok":true,"version":"1.0.7"})";

std::string begin_message(std::string_view id, std::string_view more = "") {
  return R"({"type":"blob_begin","transfer_id":")" + std::string(id) + "\"" + std::string(more) +
         "}";
}

std::string chunk_message(std::string_view id, std::string_view base64) {
  return R"({"type":"blob_chunk","transfer_id":")" + std::string(id) + R"(","data_base64":")" +
         std::string(base64) + "\"}";
}

std::string end_message(std::string_view id, std::string_view more = "") {
  return R"({"type":"blob_end","transfer_id":")" + std::string(id) + "\"" + std::string(more) + "}";
}

std::string begun(std::string_view id) {
  return R"({"ok":true,"transfer_id":")" + std::string(id) + "\"}";
}

std::string received(std::size_t bytes) {
  return R"({"ok":true,"received":)" + std::to_string(bytes) + "}";
}

std::string error(std::string_view text) {
  return R"({"error":")" + std::string(text) + R"(","ok":false})";
}

/// The file's bytes, or a marker that cannot be mistaken for content.
std::string content(const Path& path) {
  auto text = read_file(path);
  return text ? *text : "<unreadable: " + text.error().text + ">";
}

/// `text` as a JSON string (the paths here hold no control characters).
std::string json_string(std::string_view text) {
  std::string out = "\"";
  for (const char c : text) {
    if (c == '\\' || c == '"') out += '\\';
    out += c;
  }
  return out + "\"";
}

class E2eTransfer : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    // A host that ended on a failure has closed its stdin: writing the
    // messages queued behind it must give an error, not end the test.
#ifdef SIGPIPE
    std::signal(SIGPIPE, SIG_IGN);
#endif
  }

  TempDir local;
  Path data = data_dir_under(local.path);
  Path transfers = data / "browser-transfers";
  Path inbox = data / "inbox";
  Path results = data / "inbox-results";

  HostOptions options() const {
    HostOptions o;
    o.env = local_app_data_env(local.path);
    return o;
  }

  HostRun run(const std::vector<std::string>& bodies) const {
    std::string input;
    for (const auto& body : bodies) input += frame_bytes(body);
    return testing_support::run_host(input, options());
  }

  Path partial(std::string_view id) const {
    return transfers / (std::string(id) + ".part");
  }
  Path metadata(std::string_view id) const {
    return transfers / (std::string(id) + ".json");
  }

  /// Plays the download manager for the one import request that `id`'s
  /// blob_end is writing: waits until the request file is complete (the
  /// host deletes the metadata file only after writing it), answers it with
  /// `result` and takes the request away.  Returns the request's bytes.
  std::string answer_import(std::string_view id, std::string_view result) const {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (path_exists(metadata(id))) {
      if (std::chrono::steady_clock::now() > deadline) {
        ADD_FAILURE() << "no import request for " << id;
        return {};
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    std::vector<Path> requests;
    for (const auto& entry : std::filesystem::directory_iterator(inbox)) {
      requests.push_back(entry.path());
    }
    if (requests.size() != 1) {
      ADD_FAILURE() << requests.size() << " request files in the inbox";
      return {};
    }
    const std::string request = content(requests[0]);
    // Whole from the moment it exists: written aside, then renamed.
    const Path staged = results / "staged.tmp";
    EXPECT_TRUE(write_file(staged, result));
    std::filesystem::rename(staged, results / requests[0].filename());
    (void)remove_file(requests[0]);
    return request;
  }

  std::string expected_request(std::string_view id, std::string_view content_type,
                               std::string_view filename, std::string_view referrer,
                               std::string_view source, std::string_view source_url) const {
    return std::string("{\n  \"content_type\": ") + std::string(content_type) +
           ",\n  \"filename\": " + std::string(filename) +
           ",\n  \"referrer\": " + std::string(referrer) +
           ",\n  \"source\": " + std::string(source) +
           ",\n  \"source_url\": " + std::string(source_url) +
           ",\n  \"temp_path\": " + json_string(path_to_utf8(partial(id))) +
           ",\n  \"type\": \"import_browser_file\"\n}";
  }
};

void expect_clean_exit(const HostRun& run) {
  EXPECT_EQ(run.exit_code, 0);
  EXPECT_EQ(run.errors, "");
}

TEST_F(E2eTransfer, InvalidTransferIdsEndTheHostAndCreateNothing) {
  struct Case {
    const char* label;
    std::string message;
  };
  const std::vector<Case> cases = {
      {"begin, 7 characters", begin_message("abcdefg")},
      {"begin, 81 characters", begin_message(std::string(81, 'a'))},
      {"begin, dot and slash", begin_message("../../escaped")},
      {"begin, space", begin_message("abcd efgh")},
      {"begin, non-ASCII letter", begin_message("abcd\xC3\xA9"
                                                "fgh")},
      {"chunk, numeric id", R"({"type":"blob_chunk","transfer_id":12345678,"data_base64":"QUJD"})"},
      {"end, no id", R"({"type":"blob_end"})"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    const HostRun host = run({c.message, std::string(kPing)});
    EXPECT_EQ(host.replies(), std::vector<std::string>{error("invalid browser transfer id")});
    expect_clean_exit(host);
    EXPECT_FALSE(path_exists(data / "browser-transfers"));
    EXPECT_FALSE(path_exists(local.path / "escaped"));
  }
}

TEST_F(E2eTransfer, BeginWritesTheMetadataFileAndAnEmptyPartialFile) {
  const std::string id8 = "a-Z_0123";
  const std::string id80 = std::string(78, 'q') + "-Q";
  const HostRun host = run({
      begin_message(
          id8, R"(,"size":0,"filename":"../x/y.txt","content_type":"text/plain",)"
               R"("source_url":"blob:https://example.com/1","referrer":"https://example.com/")"),
      begin_message(id80),
      begin_message("size-negative", R"(,"size":-5)"),
      begin_message("size-fraction", R"(,"size":12.5)"),
      begin_message("size-whole-double", R"(,"size":1024.0)"),
      begin_message("size-exponent", R"(,"size":1e3)"),
      begin_message("size-string", R"(,"size":"12","filename":7,"referrer":null)"),
      begin_message("size-largest", R"(,"size":18446744073709551615)"),
  });
  EXPECT_EQ(host.replies(),
            (std::vector<std::string>{begun(id8), begun(id80), begun("size-negative"),
                                      begun("size-fraction"), begun("size-whole-double"),
                                      begun("size-exponent"), begun("size-string"),
                                      begun("size-largest")}));
  expect_clean_exit(host);

  EXPECT_EQ(content(metadata(id8)),
            "{\n  \"content_type\": \"text/plain\",\n  \"expected_size\": 0,\n"
            "  \"filename\": \"../x/y.txt\",\n  \"referrer\": \"https://example.com/\",\n"
            "  \"source_url\": \"blob:https://example.com/1\"\n}");
  const std::string all_null =
      "{\n  \"content_type\": null,\n  \"expected_size\": null,\n  \"filename\": null,\n"
      "  \"referrer\": null,\n  \"source_url\": null\n}";
  for (const std::string& id : {id80, std::string("size-negative"), std::string("size-fraction"),
                                std::string("size-whole-double"), std::string("size-exponent"),
                                std::string("size-string")}) {
    SCOPED_TRACE(id);
    EXPECT_EQ(content(metadata(id)), all_null);
    EXPECT_EQ(content(partial(id)), "");
  }
  EXPECT_EQ(content(metadata("size-largest")),
            "{\n  \"content_type\": null,\n  \"expected_size\": 18446744073709551615,\n"
            "  \"filename\": null,\n  \"referrer\": null,\n  \"source_url\": null\n}");
}

TEST_F(E2eTransfer, ChunksAppendTheirBytesInArrivalOrder) {
  const std::string id = "transfer-1";
  const HostRun host = run({
      begin_message(id),
      chunk_message(id, "QUJD"),
      chunk_message(id, "REVG"),
      chunk_message(id, "R0g="),
      chunk_message(id, ""),
      R"({"type":"blob_chunk","transfer_id":"transfer-1"})",
      R"({"type":"blob_chunk","transfer_id":"transfer-1","data_base64":["QUJD"]})",
  });
  EXPECT_EQ(host.replies(),
            (std::vector<std::string>{begun(id), received(3), received(3), received(2), received(0),
                                      received(0), received(0)}));
  expect_clean_exit(host);
  EXPECT_EQ(content(partial(id)), "ABCDEFGH");
}

TEST_F(E2eTransfer, BeginAgainDiscardsTheBytesAndMetadataSoFar) {
  const std::string id = "again-again";
  const HostRun host = run({
      begin_message(id, R"(,"size":3,"filename":"first.txt")"),
      chunk_message(id, "QUJD"),
      begin_message(id, R"(,"content_type":"image/png")"),
  });
  EXPECT_EQ(host.replies(), (std::vector<std::string>{begun(id), received(3), begun(id)}));
  expect_clean_exit(host);
  EXPECT_EQ(content(partial(id)), "");
  EXPECT_EQ(content(metadata(id)),
            "{\n  \"content_type\": \"image/png\",\n  \"expected_size\": null,\n"
            "  \"filename\": null,\n  \"referrer\": null,\n  \"source_url\": null\n}");
}

TEST_F(E2eTransfer, TwoInterleavedTransfersEachGetTheirOwnChunks) {
  const HostRun host = run({
      begin_message("first-one"),
      begin_message("second-one"),
      chunk_message("first-one", "QUJD"),
      chunk_message("second-one", "REVG"),
      chunk_message("first-one", "R0g="),
      chunk_message("second-one", "QQ=="),
  });
  EXPECT_EQ(host.replies(),
            (std::vector<std::string>{begun("first-one"), begun("second-one"), received(3),
                                      received(3), received(2), received(1)}));
  expect_clean_exit(host);
  EXPECT_EQ(content(partial("first-one")), "ABCGH");
  EXPECT_EQ(content(partial("second-one")), "DEFA");
}

TEST_F(E2eTransfer, ChunkTextOfNineHundredThousandSymbolsIsTheLimit) {
  const std::string id = "big-chunks";
  // 900,001 symbols that are not even Base64: refused before decoding.
  const HostRun host = run({begin_message(id), chunk_message(id, std::string(900'000, 'A')),
                            chunk_message(id, std::string(900'001, '!')), std::string(kPing)});
  EXPECT_EQ(host.replies(),
            (std::vector<std::string>{begun(id), received(675'000),
                                      error("browser transfer chunk is too large")}));
  expect_clean_exit(host);
  EXPECT_EQ(content(partial(id)), std::string(675'000, '\0'));
}

TEST_F(E2eTransfer, UndecodableChunksEndTheHostAndAppendNothing) {
  struct Case {
    const char* base64;
    const char* failure;
  };
  const std::vector<Case> cases = {
      {R"(QUJD\nREVG)", "invalid browser transfer chunk: Invalid symbol 10, offset 4."},
      {"QU-D", "invalid browser transfer chunk: Invalid symbol 45, offset 2."},
      {"QUJD_UJD", "invalid browser transfer chunk: Invalid symbol 95, offset 4."},
      {"QUJD!", "invalid browser transfer chunk: Invalid symbol 33, offset 4."},
      {"QQ", "invalid browser transfer chunk: Invalid padding"},
      {"QR==", "invalid browser transfer chunk: Invalid last symbol 82, offset 1."},
      {"QUJDQ", "invalid browser transfer chunk: Invalid input length: 5"},
  };
  const std::string id = "bad-chunks";
  for (const auto& c : cases) {
    SCOPED_TRACE(c.base64);
    const HostRun host = run({begin_message(id), chunk_message(id, "QUJD"),
                              chunk_message(id, c.base64), std::string(kPing)});
    EXPECT_EQ(host.replies(), (std::vector<std::string>{begun(id), received(3), error(c.failure)}));
    expect_clean_exit(host);
    EXPECT_EQ(content(partial(id)), "ABC");
  }
}

TEST_F(E2eTransfer, ChunkForANeverBegunIdEndsTheHostAndCreatesNothing) {
  // An undecodable chunk is reported before the missing partial file.
  HostRun host = run({chunk_message("never-begun", "QQ"), std::string(kPing)});
  EXPECT_EQ(host.replies(),
            std::vector<std::string>{error("invalid browser transfer chunk: Invalid padding")});
  expect_clean_exit(host);

  // Without even a transfers directory.
  host = run({chunk_message("never-begun", "QUJD"), std::string(kPing)});
  ASSERT_EQ(host.replies().size(), 1u);
  EXPECT_TRUE(host.replies()[0].starts_with(R"({"error":")")) << host.replies()[0];
  expect_clean_exit(host);
  EXPECT_FALSE(path_exists(transfers));

  // Beside another transfer: the system's file-not-found text.
  host =
      run({begin_message("other-one"), chunk_message("never-begun", "QUJD"), std::string(kPing)});
  EXPECT_EQ(host.replies(),
            (std::vector<std::string>{begun("other-one"), error(system_failure(2).text)}));
  expect_clean_exit(host);
  EXPECT_FALSE(path_exists(partial("never-begun")));
  EXPECT_FALSE(path_exists(metadata("never-begun")));
}

TEST_F(E2eTransfer, EndHandsTheFileOverAndRelaysTheResult) {
  const std::string id = "handover-1";
  HostSession host(options());
  host.send(begin_message(id, R"(,"size":8,"filename":"notes.txt","content_type":"text/plain",)"
                              R"("source":"from-begin")"));
  host.send(chunk_message(id, "QUJD"));
  host.send(chunk_message(id, "REVGR0g="));
  host.send(end_message(id, R"(,"source":"from-end")"));
  EXPECT_EQ(host.read_reply(), begun(id));
  EXPECT_EQ(host.read_reply(), received(3));
  EXPECT_EQ(host.read_reply(), received(5));
  const std::string request = answer_import(id, R"({"ok": true, "launched": true, "path": "x"})");
  EXPECT_EQ(request, expected_request(id, R"("text/plain")", R"("notes.txt")", "null",
                                      R"("from-end")", "null"));
  EXPECT_EQ(host.read_reply(), R"({"launched":false,"ok":true,"path":"x"})");
  EXPECT_FALSE(path_exists(metadata(id)));
  EXPECT_EQ(content(partial(id)), "ABCDEFGH");
  EXPECT_TRUE(std::filesystem::is_empty(results));

  // A transfer begun without "size" and fed nothing is handed over too.
  host.send(begin_message("empty-file"));
  host.send(end_message("empty-file"));
  EXPECT_EQ(host.read_reply(), begun("empty-file"));
  EXPECT_EQ(answer_import("empty-file", "[1, 2]"),
            expected_request("empty-file", "null", "null", "null", "null", "null"));
  EXPECT_EQ(host.read_reply(), "[1,2]");

  // Only a JSON object gets "launched"; text that is not JSON is an unreadable result.
  struct Case {
    const char* result;
    const char* reply;
  };
  for (const Case& c : {Case{"7", "7"}, Case{"null", "null"}, Case{" \"done\"\n", "\"done\""},
                        Case{"ok", R"({"error":"QLX returned an unreadable import result",)"
                                   R"("launched":false,"ok":false})"},
                        Case{"", R"({"error":"QLX returned an unreadable import result",)"
                                 R"("launched":false,"ok":false})"}}) {
    SCOPED_TRACE(c.result);
    host.send(begin_message("relayed-result"));
    host.send(end_message("relayed-result"));
    EXPECT_EQ(host.read_reply(), begun("relayed-result"));
    answer_import("relayed-result", c.result);
    EXPECT_EQ(host.read_reply(), c.reply);
    // The manager takes the file away; only then may the id begin again.
    std::filesystem::remove(partial("relayed-result"));
  }

  // A handed-over transfer cannot be ended again.
  host.send(end_message(id));
  host.send(std::string(kPing));
  EXPECT_EQ(host.read_reply(), error("browser transfer was not started"));
  EXPECT_EQ(host.read_reply(), std::nullopt);  // the ping behind it is never answered
  expect_clean_exit(host.finish());
  EXPECT_EQ(content(partial(id)), "ABCDEFGH");
}

TEST_F(E2eTransfer, ChunkAfterTheHandoverEndsTheHostAndLeavesTheFileAlone) {
  const std::string id = "handed-over";
  HostSession host(options());
  host.send(begin_message(id));
  host.send(chunk_message(id, "QUJD"));
  host.send(end_message(id));
  EXPECT_EQ(host.read_reply(), begun(id));
  EXPECT_EQ(host.read_reply(), received(3));
  answer_import(id, R"({"ok":true})");
  EXPECT_EQ(host.read_reply(), R"({"launched":false,"ok":true})");
  host.send(chunk_message(id, "REVG"));
  host.send(std::string(kPing));
  EXPECT_EQ(host.read_reply(), error("browser transfer was not started"));
  EXPECT_EQ(host.read_reply(), std::nullopt);  // the ping behind it is never answered
  expect_clean_exit(host.finish());
  EXPECT_EQ(content(partial(id)), "ABC");
}

TEST_F(E2eTransfer, SizeMismatchKeepsTheTransferReceiving) {
  const std::string id = "sized-three";
  HostRun host = run({begin_message(id, R"(,"size":3)"), chunk_message(id, "QUJDRA=="),
                      end_message(id), std::string(kPing)});
  EXPECT_EQ(host.replies(),
            (std::vector<std::string>{begun(id), received(4),
                                      error("browser transfer size mismatch: expected 3 bytes, "
                                            "received 4")}));
  expect_clean_exit(host);
  EXPECT_EQ(content(partial(id)), "ABCD");
  EXPECT_TRUE(path_exists(metadata(id)));
  EXPECT_FALSE(path_exists(inbox));

  // Begun afresh with the right bytes, it is handed over.
  HostSession again(options());
  again.send(begin_message(id, R"(,"size":3)"));
  again.send(chunk_message(id, "QUJD"));
  again.send(end_message(id));
  EXPECT_EQ(again.read_reply(), begun(id));
  EXPECT_EQ(again.read_reply(), received(3));
  EXPECT_EQ(answer_import(id, R"({"ok":true})"),
            expected_request(id, "null", "null", "null", "null", "null"));
  EXPECT_EQ(again.read_reply(), R"({"launched":false,"ok":true})");
  expect_clean_exit(again.finish());
}

TEST_F(E2eTransfer, EndForANeverBegunIdWritesNoRequest) {
  const HostRun host =
      run({begin_message("other-one"), end_message("never-begun"), std::string(kPing)});
  EXPECT_EQ(host.replies(), (std::vector<std::string>{begun("other-one"),
                                                      error("browser transfer was not started")}));
  expect_clean_exit(host);
  EXPECT_FALSE(path_exists(inbox));
}

TEST_F(E2eTransfer, SlowImportWithoutAnswerTimesOutAndTheHostGoesOn) {
  const std::string id = "no-answer";
  HostSession host(options());
  host.send(begin_message(id));
  host.send(chunk_message(id, "QUJD"));
  host.send(end_message(id));
  host.send(std::string(kPing));
  host.send(end_message(id));
  EXPECT_EQ(host.read_reply(), begun(id));
  EXPECT_EQ(host.read_reply(), received(3));
  EXPECT_EQ(host.read_reply(),
            error("QLX did not confirm the browser-generated file within 35 seconds"));
  // The host withdrew the request itself: nobody took the partial file.
  EXPECT_TRUE(std::filesystem::is_empty(inbox));
  EXPECT_FALSE(path_exists(metadata(id)));
  EXPECT_FALSE(path_exists(partial(id)));
  EXPECT_EQ(host.read_reply(), kPong);
  EXPECT_EQ(host.read_reply(), error("browser transfer was not started"));
  expect_clean_exit(host.finish());
}

}  // namespace
}  // namespace qlx
