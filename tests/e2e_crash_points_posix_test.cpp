// Sudden death: the real host killed before each system call it makes while
// it handles a message (strace's fault injection sends SIGKILL before the
// K-th call of a name), as a browser that kills its host 2 s after a
// disconnect, a logoff or a power cut would.  After each kill the data
// directory must serve the next host: both heartbeat files parse and keep
// every earlier entry, every request file in the inbox is whole (a request is
// written aside and renamed into the inbox), a new host records a new browser without losing one,
// a fresh transfer goes through whole, and the killed transfer's id can be
// begun again unless a request already names its file.
//
// strace runs without -f: its counters are per process, so with -f the same
// kill point would also stop the download manager that the host starts.  The
// host itself has one thread.
#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "base/json.h"
#include "host/frame.h"
#include "identity/heartbeat_table.h"
#include "identity/heartbeats.h"
#include "platform/fs.h"
#include "support/case_name.h"
#include "support/find_program.h"
#include "support/host_session.h"
#include "support/stand_in.h"

namespace qlx {
namespace {

using testing_support::HostOptions;
using testing_support::ManagerInstall;

constexpr const char* kId = "kbmhoaelpgdjcnfiebkalmcgopdhjnie";
// Timestamps as long as the clock's, so that only the members named by a
// scenario change the files' lengths.
const HeartbeatTable& earlier_entries() {
  static const HeartbeatTable table = {
      {"chrome", {1700000000001, kId, "1.0"}},
      {"edge", {1700000000002, kId, "2.0.1"}},
      {"opera", {1700000000003, "another-extension", "3.1.4"}},
  };
  return table;
}

constexpr const char* kTransferId = "killed-transfer-01";

struct CrashCase {
  const char* name;
  std::vector<std::string> messages;
};

/// One system call: its name and its count among the host's calls of that
/// name so far, this one included.
struct KillPoint {
  std::string name;
  int count;
};

/// The calls of an strace log from the first read of standard input on.
std::vector<KillPoint> kill_points(const std::string& log) {
  std::vector<KillPoint> points;
  std::map<std::string, int> counts;
  bool handling = false;
  std::istringstream lines(log);
  std::string line;
  while (std::getline(lines, line)) {
    const std::size_t paren = line.find('(');
    if (paren == std::string::npos || paren == 0) continue;
    const std::string name = line.substr(0, paren);
    if (name.find_first_not_of("abcdefghijklmnopqrstuvwxyz0123456789_") != std::string::npos) {
      continue;  // "+++ exited", "--- SIGCHLD", ...
    }
    const int count = ++counts[name];
    if (line.starts_with("read(0,")) handling = true;
    if (handling) points.push_back({name, count});
  }
  return points;
}

class CrashPointsSlow : public testing::TestWithParam<CrashCase> {
 protected:
  void SetUp() override {
    std::signal(SIGPIPE, SIG_IGN);  // a killed host reads no more input
    strace_ = testing_support::find_program("strace");
    ASSERT_FALSE(strace_.empty()) << "strace is missing (scripts/bootstrap installs it)";
    install_.add_manager(testing_support::kManagerNames[0]);
  }

  Path data() const { return testing_support::data_dir_under(install_.local_app_data); }
  Path legacy() const { return data() / "extension-heartbeat.json"; }
  Path per_browser() const { return data() / "extension-heartbeats-v2.json"; }

  HostOptions options() const { return install_.options({{"QLX_STAND_IN_WATCH_MS", "3000"}}); }

  /// The data directory as a browser left it earlier: both heartbeat files.
  void reset_data_dir() const {
    std::error_code ignored;
    std::filesystem::remove_all(data(), ignored);
    std::filesystem::create_directories(data());
    ASSERT_TRUE(write_file(legacy(), legacy_heartbeat_text({std::nullopt, kId, "2.0.1"},
                                                           BrowserKey::kEdge, 1700000000002)));
    ASSERT_TRUE(write_file(per_browser(), heartbeat_table_text(earlier_entries())));
  }

  std::string input() const {
    std::string frames;
    for (const std::string& message : GetParam().messages) frames += frame_bytes(message);
    return frames;
  }

  /// The host under strace: tracing everything into `log`, or killed at `point`.
  testing_support::HostRun run_under_strace(
      const std::vector<std::string>& strace_arguments) const {
    HostOptions traced = options();
    traced.arguments = strace_arguments;
    traced.arguments.push_back(traced.executable.string());
    traced.executable = strace_;
    // LeakSanitizer cannot work under a tracer: a sanitizer build's host
    // would end with exit code 1.  Other builds ignore the variable.
    traced.env.push_back({"ASAN_OPTIONS", "detect_leaks=0"});
    return testing_support::run_host(input(), traced);
  }

  /// Both heartbeat files parse, and every earlier entry is there (edge, the
  /// killed host's own browser, old or new).  `added` must be there too.
  void expect_whole_heartbeats(const char* added = nullptr) const {
    const auto legacy_text = read_file(legacy());
    ASSERT_TRUE(legacy_text) << legacy_text.error().text;
    const auto legacy_value = parse_json(*legacy_text);
    EXPECT_TRUE(legacy_value && legacy_value->is_object() && legacy_value->size() == 5)
        << "torn legacy file: " << *legacy_text;
    const auto text = read_file(per_browser());
    ASSERT_TRUE(text) << text.error().text;
    const auto table = read_heartbeat_table(*text);
    ASSERT_TRUE(table) << "torn per-browser file: " << *text;
    for (const auto& [name, entry] : earlier_entries()) {
      const auto found = table->find(name);
      ASSERT_NE(found, table->end()) << name << " lost: " << *text;
      if (name != "edge") {
        EXPECT_EQ(found->second, entry) << name;
      }
    }
    if (added != nullptr) {
      EXPECT_TRUE(table->contains(added)) << *text;
    }
  }

  /// Every request file in the inbox is whole: one JSON object that names
  /// its kind.  None empty, none cut short.
  void expect_whole_requests() const {
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(install_.inbox(), error)) {
      const std::string text = read_file(entry.path()).value_or("<unreadable>");
      const auto request = parse_json(text);
      EXPECT_TRUE(request && request->is_object() && request->contains("type"))
          << "partial request " << entry.path().filename().string() << ": " << text;
    }
  }

  /// Whether a request file in the inbox names the killed transfer's file.
  bool handed_over() const {
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(install_.inbox(), error)) {
      if (read_file(entry.path()).value_or("").find(std::string(kTransferId) + ".part") !=
          std::string::npos) {
        return true;
      }
    }
    return false;
  }

  void expect_next_hosts_work() const {
    // A request that the killed host left is the manager's to answer, not the
    // next host's; the stand-in answers one request per start, so set them
    // aside (after noting whether one names the killed transfer's file).
    const bool killed_transfer_handed_over = handed_over();
    std::error_code ignored;
    std::filesystem::remove_all(install_.inbox(), ignored);
    // A new browser is recorded beside every earlier one.
    auto run = testing_support::run_host(
        frame_bytes(R"({"type":"ping","browser_id":"brave","extension_version":"4"})"), options());
    EXPECT_EQ(run.exit_code, 0);
    expect_whole_heartbeats("brave");

    // A fresh transfer goes through whole.
    run = testing_support::run_host(
        frame_bytes(R"({"type":"blob_begin","transfer_id":"fresh-transfer","size":6})") +
            frame_bytes(
                R"({"type":"blob_chunk","transfer_id":"fresh-transfer","data_base64":"ZnJl"})") +
            frame_bytes(
                R"({"type":"blob_chunk","transfer_id":"fresh-transfer","data_base64":"c2gh"})") +
            frame_bytes(R"({"type":"blob_end","transfer_id":"fresh-transfer"})"),
        options());
    EXPECT_EQ(run.replies(),
              (std::vector<std::string>{
                  R"({"ok":true,"transfer_id":"fresh-transfer"})", R"({"ok":true,"received":3})",
                  R"({"ok":true,"received":3})",
                  R"({"launched":true,"ok":true,"received":"import_browser_file"})"}));
    // What was handed over (a manager started now may first answer a request
    // that the killed host left, so its copy is not the one to look at).
    EXPECT_EQ(read_file(data() / "browser-transfers" / "fresh-transfer.part").value_or("<missing>"),
              "fresh!");

    // The killed transfer's id, unless it was handed over.
    if (killed_transfer_handed_over) return;
    run = testing_support::run_host(
        frame_bytes(std::string(R"({"type":"blob_begin","transfer_id":")") + kTransferId +
                    R"(","size":6})"),
        options());
    EXPECT_EQ(run.replies(), std::vector<std::string>{std::string(R"({"ok":true,"transfer_id":")") +
                                                      kTransferId + "\"}"});
  }

  /// The kill points of an undisturbed run, traced whole.
  std::vector<KillPoint> traced_points() const {
    reset_data_dir();
    const Path log = install_.temp.path / "trace";
    const auto whole = run_under_strace({"-o", log.string()});
    EXPECT_EQ(whole.exit_code, 0);
    EXPECT_EQ(whole.replies().size(), GetParam().messages.size());
    return kill_points(read_file(log).value_or(""));
  }

  ManagerInstall install_;
  Path strace_;
};

TEST_P(CrashPointsSlow, EveryKillLeavesFilesTheNextHostCanUse) {
  std::vector<KillPoint> points = traced_points();
  ASSERT_GT(points.size(), 10u);

  // The counts include the start-up, whose calls depend on the host's
  // ancestors (it reads each one's process entry): when one of them ends
  // meanwhile, the counts shift.  A point that is not reached is therefore
  // counted anew once, from a fresh whole trace.
  int killed = 0;
  std::string not_reached;
  bool counted_anew = false;
  for (std::size_t i = 0; i < points.size(); ++i) {
    const KillPoint point = points[i];
    const std::string label = point.name + ":when=" + std::to_string(point.count);
    SCOPED_TRACE(label);
    reset_data_dir();
    const auto run = run_under_strace(
        {"-o", "/dev/null", "-e", "trace=" + point.name, "-e",
         "inject=" + point.name + ":signal=SIGKILL:when=" + std::to_string(point.count)});
    if (run.exit_code != 0) {
      ++killed;
      counted_anew = false;
    } else if (!counted_anew) {
      counted_anew = true;
      const std::vector<KillPoint> recounted = traced_points();
      if (recounted.size() == points.size()) {
        points = recounted;
        --i;
        continue;
      }
      not_reached += " " + label;
    } else {
      not_reached += " " + label;
      counted_anew = false;
    }
    expect_whole_heartbeats();
    expect_whole_requests();
    expect_next_hosts_work();
    if (HasFatalFailure()) return;
  }
  // Handing over waits for the manager a varying number of polls, so a late
  // point may not come in a run; nearly all must.
  EXPECT_GE(killed * 10, static_cast<int>(points.size()) * 9)
      << killed << " of " << points.size() << " kill points reached; not:" << not_reached;
  RecordProperty("kill_points", static_cast<int>(points.size()));
  RecordProperty("killed", killed);
}

std::string edge_message(const std::string& type_and_members, const char* version) {
  return "{" + type_and_members + R"(,"browser_id":"edge","extension_version":")" + version + "\"}";
}

INSTANTIATE_TEST_SUITE_P(
    Messages, CrashPointsSlow,
    testing::Values(
        // The legacy file and edge's entry grow (a longer version and a source).
        CrashCase{
            "HeartbeatEntryGrows",
            {R"({"type":"ping","browser_id":"edge","extension_version":"2.0.1-beta.17","source":"popup"})"}},
        // Both shrink.
        CrashCase{"HeartbeatEntryShrinks",
                  {R"({"type":"ping","browser_id":"edge","extension_version":"2"})"}},
        CrashCase{
            "Transfer",
            {edge_message(R"("type":"blob_begin","transfer_id":"killed-transfer-01","size":6)",
                          "2.0.1"),
             edge_message(
                 R"("type":"blob_chunk","transfer_id":"killed-transfer-01","data_base64":"YWJj")",
                 "2.0.1"),
             edge_message(
                 R"("type":"blob_chunk","transfer_id":"killed-transfer-01","data_base64":"ZGVm")",
                 "2.0.1"),
             edge_message(R"("type":"blob_end","transfer_id":"killed-transfer-01")", "2.0.1")}},
        CrashCase{
            "AddDownload",
            {edge_message(R"("type":"add_download","url":"https://example.com/a.zip")", "2.0.1")}}),
    testing_support::CaseName());

}  // namespace
}  // namespace qlx
