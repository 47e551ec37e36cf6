// The frame reader over arbitrary bytes, delivered in pieces whose size the
// first input byte chooses: it reads message after message until the input
// ends or a failure ends it, and never crashes, hangs or over-allocates.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <span>

#include "base/json.h"
#include "host/channel.h"
#include "host/frame.h"

namespace {

struct FuzzSource {
  const std::uint8_t* data;
  std::size_t size;
  std::size_t piece;

  static qlx::Result<std::size_t> read(void* context, std::span<std::byte> buffer) {
    auto* self = static_cast<FuzzSource*>(context);
    const std::size_t n = std::min({buffer.size(), self->size, self->piece});
    std::memcpy(buffer.data(), self->data, n);
    self->data += n;
    self->size -= n;
    return n;
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  FuzzSource input{data + 1, size - 1, data[0] == 0 ? size : std::size_t{data[0]}};
  const qlx::ByteSource source{&FuzzSource::read, &input};
  for (;;) {
    auto message = qlx::read_message(source);
    if (!message || !*message) break;
    auto value = qlx::parse_json((*message)->text());
    if (!value) std::abort();
    const std::string frame = qlx::frame_reply(*value);
    if (qlx::frame_length(frame.data()) != frame.size() - qlx::kFramePrefixBytes) std::abort();
  }
  return 0;
}
