#pragma once

// What the drivers that start the host share: the reply a ping must get, and
// the processor time of the children they have waited for.

#include <array>
#include <cstddef>
#include <string_view>

#include <sys/resource.h>

#include "base/names.h"
#include "host/version.h"

namespace qlx::bench {

namespace detail {

inline constexpr std::string_view kPingReplyParts[] = {
    R"({"host":")", kHostName, R"(","ok":true,"version":")", kHostVersion, R"("})"};

constexpr std::size_t ping_reply_size() {
  std::size_t size = 0;
  for (const std::string_view part : kPingReplyParts) size += part.size();
  return size;
}

inline constexpr auto kPingReplyChars = [] {
  std::array<char, ping_reply_size()> chars{};
  std::size_t at = 0;
  for (const std::string_view part : kPingReplyParts) {
    for (const char c : part) chars[at++] = c;
  }
  return chars;
}();

}  // namespace detail

/// The body of the host's reply to a ping, built from this build's version
/// while compiling (the drivers size their buffers by it).
inline constexpr std::string_view kPingReply{detail::kPingReplyChars.data(),
                                             detail::kPingReplyChars.size()};

/// CPU seconds (user + system) used so far by the children that were waited for.
inline double children_cpu_seconds() {
  struct rusage usage;
  ::getrusage(RUSAGE_CHILDREN, &usage);
  auto seconds = [](const timeval& t) {
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
  };
  return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

}  // namespace qlx::bench
