// The real host over real pipes: framing, ping, unknown types and the final
// error reply.  Every run must end with exit code 0 and nothing on stderr.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "host/frame.h"
#include "support/case_name.h"
#include "support/host_session.h"

namespace qlx::testing_support {
namespace {

constexpr std::string_view kPingReply = R"({"host":"com.velmont.qlx","ok":true,"version":"1.0.7"})";
constexpr std::string_view kUnknownType = R"({"error":"Unknown message type","ok":false})";

std::string error_reply(std::string_view text) {
  return R"({"error":")" + std::string(text) + R"(","ok":false})";
}

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
  const HostRun done = run(frame_bytes(R"({"type":"ping"})"));
  EXPECT_EQ(done.output, std::string("\x36\0\0\0", 4) + std::string(kPingReply));
  EXPECT_EQ(done.output.size(), 58u);
  EXPECT_EQ(done.exit_code, 0);
  EXPECT_EQ(done.errors, "");
}

TEST_F(HostCore, AnswersEachMessageOfOneStreamInOrderUntilInputCloses) {
  HostOptions options;
  options.env = local_app_data_env(app_data_.path);
  HostSession session(options);
  session.send(R"({"type":"ping"})");
  EXPECT_EQ(session.read_reply(), kPingReply);
  session.send(R"({"type":"nope"})");
  EXPECT_EQ(session.read_reply(), kUnknownType);
  session.send(R"({"type":"ping"})");
  EXPECT_EQ(session.read_reply(), kPingReply);
  const HostRun done = session.finish();
  EXPECT_EQ(done.output, "");
  EXPECT_EQ(done.exit_code, 0);
  EXPECT_EQ(done.errors, "");
}

struct StreamCase {
  const char* name;
  std::string input;
  std::vector<std::string> replies;
};

class HostStream : public HostCore, public testing::WithParamInterface<StreamCase> {};

TEST_P(HostStream, RepliesExactlyAndExitsCleanly) {
  const StreamCase& c = GetParam();
  const HostRun done = run(c.input);
  EXPECT_EQ(done.replies(), c.replies);
  EXPECT_EQ(done.exit_code, 0);
  EXPECT_EQ(done.errors, "");
}

const std::string kPing = frame_bytes(R"({"type":"ping"})");
const std::string kMaxBody =
    R"({"type":"ping","pad":")" + std::string(2'097'152 - 24, 'x') + R"("})";

INSTANTIATE_TEST_SUITE_P(
    Frames, HostStream,
    testing::Values(
        StreamCase{"InputClosedAtOnce", "", {}},
        StreamCase{"InputClosedAfterOneLengthByte", std::string(1, '\x10'), {}},
        StreamCase{"InputClosedAfterTwoLengthBytes", std::string(2, '\x10'), {}},
        StreamCase{"InputClosedAfterThreeLengthBytes", std::string(3, '\0'), {}},
        StreamCase{"TwoPings", kPing + kPing, {std::string(kPingReply), std::string(kPingReply)}},
        StreamCase{"LargestBodyIsAccepted", frame_bytes(kMaxBody), {std::string(kPingReply)}},
        StreamCase{"OneByteTooLargeEndsTheHostUnread",
                   frame_prefix(2'097'153) + kPing + kPing,
                   {error_reply("Native message too large")}},
        StreamCase{"ThreeMillionIsTooLarge",
                   frame_prefix(3'000'000),
                   {error_reply("Native message too large")}},
        StreamCase{"BodyCutShort",
                   frame_prefix(100) + "{\"type\"",
                   {error_reply("failed to fill whole buffer")}},
        StreamCase{"LengthTenIsNotANewline",
                   frame_bytes(R"({"type":1})") + kPing,
                   {std::string(kUnknownType), std::string(kPingReply)}},
        StreamCase{"LengthThirteenIsNotACarriageReturn",
                   frame_bytes(R"({"type":"p"} )") + kPing,
                   {std::string(kUnknownType), std::string(kPingReply)}},
        StreamCase{
            "LengthBytesOfNewlineAndReturn",
            frame_bytes(R"({"type":"ping","pad":")" + std::string(0x0D0A - 24, 'y') + R"("})"),
            {std::string(kPingReply)}},
        StreamCase{"EmptyBody",
                   frame_bytes("") + kPing,
                   {error_reply("EOF while parsing a value at line 1 column 0")}},
        StreamCase{"NotJson",
                   frame_bytes("{\"type\":\"ping\"} x") + kPing,
                   {error_reply("trailing characters at line 1 column 17")}},
        StreamCase{"NestedDeepestAllowed",
                   frame_bytes(nested_arrays(127)) + kPing,
                   {std::string(kUnknownType), std::string(kPingReply)}},
        StreamCase{"NestedOneTooDeep",
                   frame_bytes(nested_arrays(128)) + kPing,
                   {error_reply("recursion limit exceeded at line 1 column 128")}},
        StreamCase{"ArrayHasNoType", frame_bytes("[]"), {std::string(kUnknownType)}},
        StreamCase{"StringHasNoType", frame_bytes(R"("ping")"), {std::string(kUnknownType)}},
        StreamCase{
            "TypeIsCaseSensitive", frame_bytes(R"({"type":"PING"})"), {std::string(kUnknownType)}},
        StreamCase{"TypeMustBeAString", frame_bytes(R"({"type":5})"), {std::string(kUnknownType)}},
        StreamCase{"WhiteSpaceAroundTheBody",
                   frame_bytes("  {\"type\":\"ping\"}\r\n"),
                   {std::string(kPingReply)}}),
    CaseName());

}  // namespace
}  // namespace qlx::testing_support
