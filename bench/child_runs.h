#pragma once

// What the drivers that start the host share: the reply a ping must get, and
// the processor time of the children they have waited for.

#include <string_view>

#include <sys/resource.h>

namespace qlx::bench {

/// The body of the host's reply to a ping.
inline constexpr std::string_view kPingReply =
    R"({"host":"com.velmont.qlx","ok":true,"version":"1.0.7"})";

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
