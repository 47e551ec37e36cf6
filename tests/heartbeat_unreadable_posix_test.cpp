// A per-browser heartbeat file that exists but that the host cannot open or
// read keeps its entries: the host leaves it alone for that message.  The
// faults are real ones, also when the tests run as root (whom permissions
// refuse nothing): strace makes the host's own open or read of that one file
// fail with an I/O error, and a file of mode 0200 (writable, not readable)
// refuses to be read by a host that runs as another user.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "base/json.h"
#include "host/frame.h"
#include "platform/fs.h"
#include "support/case_name.h"
#include "support/fault_case.h"
#include "support/find_program.h"
#include "support/host_session.h"
#include "support/temp_dir.h"

namespace qlx {
namespace {

using testing_support::find_program;

enum class Fault { kOpenFails, kReadFails, kNoPermission };

struct UnreadableCase {
  const char* name;
  Fault fault;
};

class UnreadablePerBrowserFile : public testing::TestWithParam<UnreadableCase> {};

TEST_P(UnreadablePerBrowserFile, KeepsItsEntries) {
  const testing_support::TempDir scratch;
  const Path local = scratch.path / "local";
  const Path data = testing_support::data_dir_under(local);
  std::filesystem::create_directories(data);
  const Path per_browser = data / "extension-heartbeats-v2.json";
  const std::string before = R"({"chrome":[1,"a","b"]})";
  ASSERT_TRUE(write_file(per_browser, before));

  testing_support::HostOptions options;
  options.env = testing_support::local_app_data_env(local);
  const Path host = options.executable;
  const Path trace = scratch.path / "trace";
  const bool as_root = ::geteuid() == 0;
  switch (GetParam().fault) {
    case Fault::kOpenFails:
    case Fault::kReadFails: {
      const char* call = GetParam().fault == Fault::kOpenFails ? "openat" : "read";
      options.executable = find_program("strace");
      ASSERT_FALSE(options.executable.empty()) << "strace is missing (scripts/bootstrap)";
      // -P: only the calls on the per-browser file are traced; the first fails.
      options.arguments = {"-o",         trace.string(),
                           "-P",         per_browser.string(),
                           "-e",         std::string("trace=") + call,
                           "-e",         std::string("inject=") + call + ":error=EIO:when=1",
                           host.string()};
      // LeakSanitizer cannot work under a tracer (sanitizer builds only).
      options.env.push_back({"ASAN_OPTIONS", "detect_leaks=0"});
      break;
    }
    case Fault::kNoPermission:
      // Writable but not readable: what matters is that it is not read.
      ASSERT_EQ(::chmod(per_browser.c_str(), 0200), 0);
      if (as_root) {
        // Root reads anything: run the host as nobody, in folders it may
        // use, with the file nobody's.
        options.executable = find_program("setpriv");
        ASSERT_FALSE(options.executable.empty()) << "setpriv is missing (util-linux)";
        options.arguments = {"--reuid=65534", "--regid=65534", "--clear-groups", "--",
                             host.string()};
        for (const Path& dir : {scratch.path, local, data.parent_path()}) {
          ASSERT_EQ(::chmod(dir.c_str(), 0755), 0);
        }
        ASSERT_EQ(::chmod(data.c_str(), 0777), 0);
        ASSERT_EQ(::chown(per_browser.c_str(), 65534, 65534), 0);
      }
      break;
  }

  const auto run =
      testing_support::run_host(frame_bytes(R"({"type":"ping","browser_id":"edge"})"), options);
  EXPECT_EQ(run.exit_code, 0);
  EXPECT_EQ(run.errors, "");
  EXPECT_EQ(run.replies(), std::vector<std::string>{testing_support::kPong});
  if (GetParam().fault != Fault::kNoPermission) {
    EXPECT_NE(read_file(trace).value_or("").find("(INJECTED)"), std::string::npos)
        << "the fault never happened";
  }

  ASSERT_EQ(::chmod(per_browser.c_str(), 0600), 0);
  EXPECT_EQ(read_file(per_browser).value_or("<unreadable>"), before);
  // The message was recorded all the same.
  const auto legacy = parse_json(read_file(data / "extension-heartbeat.json").value_or(""));
  ASSERT_TRUE(legacy) << legacy.error().text;
  EXPECT_EQ(legacy->value("browser_id", ""), "edge");
}

INSTANTIATE_TEST_SUITE_P(
    Faults, UnreadablePerBrowserFile,
    testing::Values(UnreadableCase{"OpenFailsWithAnIoError", Fault::kOpenFails},
                    UnreadableCase{"ReadFailsWithAnIoError", Fault::kReadFails},
                    UnreadableCase{"ReadPermissionRefused", Fault::kNoPermission}),
    testing_support::CaseName());

}  // namespace
}  // namespace qlx
