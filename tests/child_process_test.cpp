// Children started over pipes, as the tools and the end-to-end tests start
// the host: each child holds only its own three pipe ends, and a timed wait
// kills a child only while it is still this process's to kill.
#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <thread>

#include "child_process/child_process.h"
#include "support/case_name.h"
#include "support/host_session.h"

namespace qlx {
namespace {

using namespace std::chrono_literals;

ChildProcess start_host() {
  auto child = start_child(ChildOptions{testing_support::host_executable(), {}, {}, {}});
  EXPECT_TRUE(child) << child.error().text;
  return child ? std::move(*child) : ChildProcess{};
}

/// Reads the child's stdout until it ends; false when a read failed.
bool read_to_end(ChildProcess& child) {
  std::byte chunk[4096];
  for (;;) {
    auto got = read_child_output(child, chunk);
    if (!got) return false;
    if (*got == 0) return true;
  }
}

// Two hosts start at the same moment from two threads, so that one child is
// created while the other's pipes are still open in this process.  The first
// host ends when its stdin closes; its stdout must then reach its end while
// the second still runs: the second must not hold a copy of the first's pipe.
TEST(StartChild, AChildsOutputEndsWhileAnotherChildStillRuns) {
  for (int round = 0; round < 8; ++round) {
    SCOPED_TRACE(round);
    auto starting_second = std::async(std::launch::async, [] { return start_host(); });
    ChildProcess first = start_host();
    ChildProcess second = starting_second.get();
    ASSERT_TRUE(child_running(first));
    ASSERT_TRUE(child_running(second));

    close_child_input(first);
    auto first_output_ended =
        std::async(std::launch::async, [&first] { return read_to_end(first); });
    const bool ended = first_output_ended.wait_for(30s) == std::future_status::ready;
    EXPECT_TRUE(ended) << "the first host's stdout stays open while the second host runs";
    // Ending the second host releases a read that still waits.
    close_child_input(second);
    EXPECT_TRUE(first_output_ended.get());
    EXPECT_EQ(wait_child(first).value_or(-1), 0);
    EXPECT_EQ(wait_child(second).value_or(-1), 0);
    if (!ended) break;
  }
}

TEST(StartChild, AMissingProgramFailsWithTheSystemText) {
  testing_support::TempDir dir;
  auto child = start_child(ChildOptions{dir.path / "missing", {}, {}, {}});
  ASSERT_FALSE(child);
  EXPECT_NE(child.error().text.find(" (os error "), std::string::npos) << child.error().text;
}

struct TimedWait {
  std::string_view name;
  bool close_input;  // the host exits once its input ends; it waits for more otherwise
  std::chrono::milliseconds timeout;
  ChildEnd end;
};

class WaitChildFor : public testing::TestWithParam<TimedWait> {};

TEST_P(WaitChildFor, EndsAsTheHostDoesAndReapsIt) {
  const TimedWait& row = GetParam();
  ChildProcess child = start_host();
  ASSERT_TRUE(child_running(child));
  ASSERT_TRUE(child_process_id(child).has_value());
  if (row.close_input) close_child_input(child);
  const auto started = std::chrono::steady_clock::now();
  auto ended = wait_child_for(child, row.timeout);
  const auto waited = std::chrono::steady_clock::now() - started;
  ASSERT_TRUE(ended) << ended.error().text;
  EXPECT_EQ(ended->end, row.end);
  if (row.end == ChildEnd::kExited) {
    EXPECT_EQ(ended->code, 0);
    EXPECT_LT(waited, row.timeout) << "the wait did not end when the host did";
  } else {
    EXPECT_NE(ended->code, 0);
    EXPECT_GE(waited, row.timeout) << "the host was killed before its time";
  }
  // A killed host's stdout ends: nothing that reads it stays blocked.
  EXPECT_TRUE(read_to_end(child));

  // Reaped: the record no longer names a process, so that nothing reaches
  // another process that took over the id.
  EXPECT_FALSE(child_running(child));
  EXPECT_FALSE(child_process_id(child).has_value());
  kill_child(child);
  auto again = wait_child(child);
  ASSERT_FALSE(again);
  EXPECT_EQ(again.error().text, "the child has already been waited for");
  EXPECT_FALSE(wait_child_for(child, 1ms));
}

INSTANTIATE_TEST_SUITE_P(Table, WaitChildFor,
                         testing::Values(TimedWait{"ExitsInTime", true, 60s, ChildEnd::kExited},
                                         TimedWait{"HangsAndIsKilled", false, 300ms,
                                                   ChildEnd::kKilled}),
                         testing_support::CaseName());

// Killing before the wait: the host is ended at once, and the wait that
// follows reaps it as killed.
TEST(KillChild, EndsARunningChildBeforeItIsWaitedFor) {
  ChildProcess child = start_host();
  ASSERT_TRUE(child_running(child));
  kill_child(child);
  EXPECT_TRUE(read_to_end(child));
  auto ended = wait_child_for(child, 60s);
  ASSERT_TRUE(ended) << ended.error().text;
  EXPECT_EQ(ended->end, ChildEnd::kExited);
  EXPECT_NE(ended->code, 0);
}

// A program that keeps running once its stdin is closed (the stand-in
// manager, told to watch for a minute) is killed when the session's time is
// up: the test fails with that message and still gets what was written.
TEST(HostSessionFinish, KillsAProgramThatOutlivesItsTimeAndKeepsItsOutput) {
  testing_support::TempDir scratch;
  testing_support::HostOptions options;
  options.executable =
      testing_support::programs_dir() / testing_support::executable_name("stand-in-manager");
  options.env = testing_support::local_app_data_env(scratch.path);
  options.env.push_back({"QLX_STAND_IN_WATCH_MS", "60000"});
  options.env.push_back({"QLX_STAND_IN_NOISE", "1"});
  options.finish_timeout = 1s;
  testing_support::HostSession session(options);
  testing_support::HostRun run;
  const auto started = std::chrono::steady_clock::now();
  EXPECT_NONFATAL_FAILURE(run = session.finish(),
                          "the host still ran 1000 ms after its stdin closed: killed");
  EXPECT_LT(std::chrono::steady_clock::now() - started, 30s);
  EXPECT_EQ(run.output, "\xff\xff\xff\x7fstand-in garbage on stdout\n");
  EXPECT_NE(run.exit_code, 0);
  EXPECT_FALSE(child_running(session.child));
}

}  // namespace
}  // namespace qlx
