#include "child_process/child_frame.h"

#include "host/frame.h"

namespace qlx {
namespace {

/// Up to `count` bytes of the child's stdout; fewer when it ends first.
std::string read_up_to(ChildProcess& child, std::size_t count) {
  std::string bytes(count, '\0');
  bytes.resize(read_child_output_fully(child, std::as_writable_bytes(std::span(bytes))));
  return bytes;
}

}  // namespace

ChildFrame read_child_frame(ChildProcess& child, std::size_t max_body) {
  ChildFrame frame;
  frame.prefix = read_up_to(child, kFramePrefixBytes);
  if (frame.prefix.empty()) return frame;
  if (frame.prefix.size() < kFramePrefixBytes) {
    frame.read = FrameRead::kCutInPrefix;
    return frame;
  }
  frame.length = frame_length(frame.prefix.data());
  if (frame.length > max_body) {
    frame.read = FrameRead::kTooLong;
    return frame;
  }
  frame.body = read_up_to(child, frame.length);
  frame.read = frame.body.size() == frame.length ? FrameRead::kWhole : FrameRead::kCutInBody;
  return frame;
}

}  // namespace qlx
