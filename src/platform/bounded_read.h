#pragma once

// Private to the platform files: reading a whole file without ever holding
// more of it than a bound.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "base/failure.h"

namespace qlx {

/// Reads to the end with `read_some(buffer, room)`, which returns the count
/// read (0 at the end) or a failure.  `size` is the file's length when it was
/// opened.  nullopt when the file holds more than `max_bytes`: a larger
/// `size`, or more bytes arriving than the bound (the file grew meanwhile).
template <typename ReadSome>
Result<std::optional<std::string>> read_bounded(std::uint64_t size, std::uint64_t max_bytes,
                                                ReadSome read_some) {
  if (size > max_bytes) return std::nullopt;
  std::string content;
  content.reserve(static_cast<std::size_t>(size));
  char chunk[65536];
  for (;;) {
    // One byte past the bound is enough to tell a file that is too large.
    const std::uint64_t room =
        std::min<std::uint64_t>(sizeof chunk, max_bytes - content.size() + 1);
    auto got = read_some(chunk, static_cast<std::size_t>(room));
    if (!got) return fail(std::move(got.error()));
    if (*got == 0) return std::optional<std::string>(std::move(content));
    const std::size_t total = content.size() + *got;
    if (total > max_bytes) return std::nullopt;
    // Grow within the bound, never to twice of it.
    if (total > content.capacity()) {
      content.reserve(static_cast<std::size_t>(
          std::min<std::uint64_t>(max_bytes, std::max(total, 2 * content.capacity()))));
    }
    content.append(chunk, *got);
    // A regular file reads short only at its end: once the length it had
    // when it was opened is read, a short read saves asking for the end.
    if (*got < room && content.size() >= size)
      return std::optional<std::string>(std::move(content));
  }
}

}  // namespace qlx
