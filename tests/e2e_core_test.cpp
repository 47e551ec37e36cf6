// The real host over real pipes: framing, ping, unknown types and the final
// error reply.  Every run must end with exit code 0 and nothing on stderr.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "host/frame.h"
#include "support/bytes.h"
#include "support/case_name.h"
#include "support/host_session.h"
#include "support/messages.h"

namespace qlx::testing_support {
namespace {

std::string nested_arrays(int depth) {
  return std::string(depth, '[') + std::string(depth, ']');
}

/// Runs the host in a scratch data directory.
class HostCore : public testing::Test {
 protected:
  HostRun run(std::string_view input) {
    HostOptions options;
    options.env = local_app_data_env(app_data_.path);
    return run_host(input, options);
  }
  TempDir app_data_;
};

TEST_F(HostCore, PingReplyIsExactlyFiftyEightBytes) {
  const HostRun done = run(frame_bytes(kPing));
  EXPECT_EQ(done.output, std::string("\x36\0\0\0", 4) + ping_reply());
  EXPECT_EQ(done.output.size(), 58u);
  EXPECT_EQ(done.exit_code, 0);
  EXPECT_EQ(done.errors, "");
}

TEST_F(HostCore, AnswersEachMessageOfOneStreamInOrderUntilInputCloses) {
  HostOptions options;
  options.env = local_app_data_env(app_data_.path);
  HostSession session(options);
  session.send(kPing);
  EXPECT_EQ(session.read_reply(), ping_reply());
  session.send(R"({"type":"nope"})");
  EXPECT_EQ(session.read_reply(), kUnknownTypeReply);
  session.send(kPing);
  EXPECT_EQ(session.read_reply(), ping_reply());
  const HostRun done = session.finish();
  EXPECT_EQ(done.output, "");
  EXPECT_EQ(done.exit_code, 0);
  EXPECT_EQ(done.errors, "");
}

struct StreamCase {
  const char* name;
  Bytes input;
  std::vector<std::string> replies;
};

class HostStream : public HostCore, public testing::WithParamInterface<StreamCase> {};

TEST_P(HostStream, RepliesExactlyAndExitsCleanly) {
  const StreamCase& c = GetParam();
  const HostRun done = run(c.input.get());
  EXPECT_EQ(done.replies(), c.replies);
  EXPECT_EQ(done.exit_code, 0);
  EXPECT_EQ(done.errors, "");
}

const std::string kPingFrame = frame_bytes(kPing);
/// A ping frame whose body is the largest the host reads: 2 MiB.
std::string largest_ping_frame() {
  return frame_bytes(R"({"type":"ping","pad":")" + std::string(2'097'152 - 24, 'x') + R"("})");
}

INSTANTIATE_TEST_SUITE_P(
    Frames, HostStream,
    testing::Values(
        StreamCase{"InputClosedAtOnce", "", {}},
        StreamCase{"InputClosedAfterOneLengthByte", std::string(1, '\x10'), {}},
        StreamCase{"InputClosedAfterTwoLengthBytes", std::string(2, '\x10'), {}},
        StreamCase{"InputClosedAfterThreeLengthBytes", std::string(3, '\0'), {}},
        StreamCase{"TwoPings", kPingFrame + kPingFrame, {ping_reply(), ping_reply()}},
        StreamCase{"LargestBodyIsAccepted", Bytes::built_by(largest_ping_frame), {ping_reply()}},
        StreamCase{"OneByteTooLargeEndsTheHostUnread",
                   frame_prefix(2'097'153) + kPingFrame + kPingFrame,
                   {error_reply("Native message too large")}},
        StreamCase{"ThreeMillionIsTooLarge",
                   frame_prefix(3'000'000),
                   {error_reply("Native message too large")}},
        StreamCase{"BodyCutShort",
                   frame_prefix(100) + "{\"type\"",
                   {error_reply("failed to fill whole buffer")}},
        StreamCase{"LengthTenIsNotANewline",
                   frame_bytes(R"({"type":1})") + kPingFrame,
                   {std::string(kUnknownTypeReply), ping_reply()}},
        StreamCase{"LengthThirteenIsNotACarriageReturn",
                   frame_bytes(R"({"type":"p"} )") + kPingFrame,
                   {std::string(kUnknownTypeReply), ping_reply()}},
        StreamCase{
            "LengthBytesOfNewlineAndReturn",
            frame_bytes(R"({"type":"ping","pad":")" + std::string(0x0D0A - 24, 'y') + R"("})"),
            {ping_reply()}},
        StreamCase{"EmptyBody",
                   frame_bytes("") + kPingFrame,
                   {error_reply("EOF while parsing a value at line 1 column 0")}},
        StreamCase{"NotJson",
                   frame_bytes("{\"type\":\"ping\"} x") + kPingFrame,
                   {error_reply("trailing characters at line 1 column 17")}},
        StreamCase{"NestedDeepestAllowed",
                   frame_bytes(nested_arrays(127)) + kPingFrame,
                   {std::string(kUnknownTypeReply), ping_reply()}},
        StreamCase{"NestedOneTooDeep",
                   frame_bytes(nested_arrays(128)) + kPingFrame,
                   {error_reply("recursion limit exceeded at line 1 column 128")}},
        StreamCase{"ArrayHasNoType", frame_bytes("[]"), {std::string(kUnknownTypeReply)}},
        StreamCase{"StringHasNoType", frame_bytes(R"("ping")"), {std::string(kUnknownTypeReply)}},
        StreamCase{"TypeIsCaseSensitive",
                   frame_bytes(R"({"type":"PING"})"),
                   {std::string(kUnknownTypeReply)}},
        StreamCase{
            "TypeMustBeAString", frame_bytes(R"({"type":5})"), {std::string(kUnknownTypeReply)}},
        StreamCase{
            "WhiteSpaceAroundTheBody", frame_bytes("  {\"type\":\"ping\"}\r\n"), {ping_reply()}}),
    CaseName());

}  // namespace
}  // namespace qlx::testing_support
