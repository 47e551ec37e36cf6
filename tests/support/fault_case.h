#pragma once

// End-to-end cases over a data directory that something else has tampered
// with: the real host, a scratch local application-data folder, the messages
// of one connection, and what the host must answer and leave behind.

#include <cstdint>
#include <functional>
#include <optional>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "child_process/child_process.h"
#include "platform/fs.h"

namespace qlx::testing_support {

/// What describe_path() says of a path that is not a regular file.
inline const std::string kAbsent = "<absent>";
inline const std::string kDirectory = "<directory>";
inline const std::string kFifo = "<fifo>";
inline const std::string kLink = "<link>";

/// A regular file's bytes, with the digits of every "timestamp_ms" written as
/// "T"; or one of the markers above (links are not followed).
std::string describe_path(const Path& path);

/// A heartbeat file's text: `text` with "T" for every time stamp.
std::string with_timestamps_as_t(std::string text);

inline constexpr const char* kPingEdge = R"({"type":"ping","browser_id":"edge"})";
inline constexpr const char* kPong = R"({"host":"com.velmont.qlx","ok":true,"version":"1.0.7"})";
inline constexpr const char* kDownload =
    R"({"type":"add_download","url":"https://a.example/f.zip"})";
/// The request file of kDownload.
inline constexpr const char* kDownloadRequest =
    "{\n  \"type\": \"add_download\",\n  \"url\": \"https://a.example/f.zip\"\n}";
/// The metadata file of a blob_begin that named nothing but its id.
inline constexpr const char* kBareMetadata =
    "{\n  \"content_type\": null,\n  \"expected_size\": null,\n  \"filename\": null,\n"
    "  \"referrer\": null,\n  \"source_url\": null\n}";

/// {"error":<text>,"ok":false}
std::string error_text(const std::string& text);

/// The legacy heartbeat file after kPingEdge (time stamp "T").
std::string legacy_after_ping_edge();

/// One entry of the per-browser heartbeat file (time stamp "T"), and a file of them.
std::string per_browser_entry(const std::string& name, const std::string& extension_id,
                              const std::string& version);
std::string per_browser_file(const std::vector<std::string>& entries);

/// The entry that kPingEdge records.
std::string edge_entry();

/// Writes `text` to `path` so that it is whole from the moment it exists.
void write_whole(const Path& path, const std::string& text);

struct FaultCase {
  const char* name = "";
  /// Prepares the data directory (it exists, empty, when this runs).
  std::function<void(const Path& data_dir)> setup = {};
  std::vector<std::string> messages = {};
  /// Every reply, in order; the host must end after the last one.
  std::vector<std::string> replies = {};
  /// Paths below the data directory and what describe_path() says of them
  /// afterwards.  "{id}" in a path stands for the request id answered.
  std::vector<std::pair<std::string, std::string>> files = {};
  /// Plays the download manager: called once with the result file's path as
  /// soon as the first request file appears in the inbox.
  std::function<void(const Path& result)> answer = {};
  /// Further checks of the data directory afterwards.
  std::function<void(const Path& data_dir)> check = {};
  std::optional<std::uint64_t> file_size_limit = {};
  /// The local application-data folder's name in the scratch folder.
  std::string local_app_data_name = "local";
  friend void PrintTo(const FaultCase& c, std::ostream* out) { *out << c.name; }
};

/// The files of the data directory's top level.
inline constexpr const char* kLock = "extension-heartbeats.lock";
inline constexpr const char* kLegacy = "extension-heartbeat.json";
inline constexpr const char* kPerBrowser = "extension-heartbeats-v2.json";

/// Creates `path` (and its folders) holding `bytes`.
void put_file(const Path& path, const std::string& bytes);

/// Runs the case: replies byte for byte, the host ends within 3 s of the end
/// of its input with exit code 0 and nothing on stderr, and the files are as
/// listed.
void run_fault_case(const FaultCase& c);

/// The table test that runs FaultCase rows (instantiated per group of faults).
class DataDirFaults : public ::testing::TestWithParam<FaultCase> {};

}  // namespace qlx::testing_support
