// The frame reader over an in-memory byte source: lengths, limits and ends of input.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>

#include "host/channel.h"
#include "host/frame.h"
#include "host/version.h"
#include "support/case_name.h"
#include "support/messages.h"

namespace qlx {
namespace {

struct MemorySource {
  std::string bytes;
  std::size_t offset = 0;
  std::size_t max_read = 3;  // deliver in small pieces to exercise reassembly

  static Result<std::size_t> read(void* context, std::span<std::byte> buffer) {
    auto* self = static_cast<MemorySource*>(context);
    const std::size_t n =
        std::min({buffer.size(), self->bytes.size() - self->offset, self->max_read});
    std::memcpy(buffer.data(), self->bytes.data() + self->offset, n);
    self->offset += n;
    return n;
  }
  ByteSource source() { return ByteSource{&MemorySource::read, this}; }
};

struct FrameCase {
  const char* name;
  std::string input;
  const char* outcome;   // "end", "message:<compact>", or "failure:<text>"
  std::size_t consumed;  // bytes the reader may have taken
};

class ReadMessage : public testing::TestWithParam<FrameCase> {};

TEST_P(ReadMessage, GivesTheExpectedOutcome) {
  const FrameCase& c = GetParam();
  MemorySource memory{c.input};
  auto got = read_message(memory.source());
  std::string outcome;
  if (!got) {
    outcome = "failure:" + got.error().text;
  } else if (!*got) {
    outcome = "end";
  } else {
    outcome = "message:" + to_compact_json(*parse_json((*got)->text()));
  }
  EXPECT_EQ(outcome, c.outcome);
  EXPECT_EQ(memory.offset, c.consumed);
}

INSTANTIATE_TEST_SUITE_P(
    Frames, ReadMessage,
    testing::Values(FrameCase{"Empty", "", "end", 0},
                    FrameCase{"OneLengthByte", std::string(1, 'x'), "end", 1},
                    FrameCase{"ThreeLengthBytes", std::string(3, '\0'), "end", 3},
                    FrameCase{"Ping", frame_bytes(R"({"type":"ping"})"),
                              R"(message:{"type":"ping"})", 19},
                    FrameCase{"LengthTenIsNotANewline", frame_bytes(R"({"type":1})"),
                              R"(message:{"type":1})", 14},
                    FrameCase{"TooLarge", frame_prefix(2'097'153) + "{}",
                              "failure:Native message too large", 4},
                    FrameCase{"BodyCut", frame_prefix(10) + "{\"a\"",
                              "failure:failed to fill whole buffer", 8}),
    testing_support::CaseName());

TEST(FrameReply, PingReplyIsFiftyFourBytesBehindItsLength) {
  Json reply = Json::object();
  reply["ok"] = true;
  reply["version"] = kHostVersion;
  reply["host"] = "com.velmont.qlx";
  EXPECT_EQ(frame_reply(reply), std::string("\x36\0\0\0", 4) + testing_support::ping_reply());
}

}  // namespace
}  // namespace qlx
