#pragma once

// Reading one native messaging frame from a child's stdout: the one reader
// for qlx-host-register --check, qlx-nm-client and the tests' host sessions.

#include <cstddef>
#include <cstdint>
#include <limits>
#include <string>

#include "child_process/child_process.h"

namespace qlx {

/// How reading one frame ended.
enum class FrameRead {
  kWhole,        // the prefix and all of the body
  kNoFrame,      // stdout ended before the frame's first byte
  kCutInPrefix,  // stdout ended inside the length prefix
  kTooLong,      // the prefix announces more than the limit: the body is left unread
  kCutInBody,    // stdout ended inside the body
};

struct ChildFrame {
  FrameRead read = FrameRead::kNoFrame;
  std::string prefix;        // the bytes of the prefix that arrived
  std::uint32_t length = 0;  // what a whole prefix announces
  std::string body;          // the bytes of the body that arrived
};

/// Reads the child's next frame; a body longer than `max_body` is not read.
ChildFrame read_child_frame(ChildProcess& child,
                            std::size_t max_body = std::numeric_limits<std::size_t>::max());

}  // namespace qlx
