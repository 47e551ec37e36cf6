// Children started over pipes, as the tools and the end-to-end tests start
// the host: each child holds only its own three pipe ends.
#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <thread>

#include "platform/child_process.h"
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
    ASSERT_NE(first.process, -1);
    ASSERT_NE(second.process, -1);

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

}  // namespace
}  // namespace qlx
