#include <cerrno>
#include <csignal>

#include <fcntl.h>
#include <linux/close_range.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/error.h"
#include "platform/launch.h"

namespace qlx {
namespace {

// Between fork and exec only async-signal-safe calls are made: the calling
// process may have threads (the test binary does).

/// Sends `code` to the launcher over the report pipe and ends the process.
[[noreturn]] void report_and_exit(int report, int code) {
  const char* bytes = reinterpret_cast<const char*>(&code);
  std::size_t left = sizeof code;
  while (left > 0) {
    const ssize_t put = ::write(report, bytes, left);
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) break;
    bytes += put;
    left -= static_cast<std::size_t>(put);
  }
  ::_exit(127);
}

/// Puts /dev/null on descriptors 0, 1 and 2, without close-on-exec.
bool redirect_standard_streams_to_null() {
  const int null = ::open("/dev/null", O_RDWR | O_CLOEXEC);
  if (null < 0) return false;
  for (int fd = 0; fd <= 2; ++fd) {
    const int done = fd == null ? ::fcntl(fd, F_SETFD, 0) : ::dup2(null, fd);
    if (done < 0) return false;
  }
  if (null > 2) ::close(null);
  return true;
}

/// Marks every descriptor from 3 up close-on-exec.
void close_other_descriptors_on_exec() {
  if (::close_range(3U, ~0U, CLOSE_RANGE_CLOEXEC) == 0) return;
  // Kernels before 5.11: one descriptor at a time, up to the limit.
  rlimit limit{};
  const int last = ::getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY &&
                           limit.rlim_cur < 1'048'576
                       ? static_cast<int>(limit.rlim_cur)
                       : 1'048'576;
  for (int fd = 3; fd < last; ++fd) ::fcntl(fd, F_SETFD, FD_CLOEXEC);
}

/// Signal state as a new program expects it: ignored signals (SIGPIPE in the
/// host) would stay ignored across exec, and so would a blocked mask.
void reset_signals() {
  struct sigaction default_action {};
  default_action.sa_handler = SIG_DFL;
  for (int signal = 1; signal < NSIG; ++signal) {
    if (signal == SIGKILL || signal == SIGSTOP) continue;
    ::sigaction(signal, &default_action, nullptr);
  }
  sigset_t none;
  ::sigemptyset(&none);
  ::sigprocmask(SIG_SETMASK, &none, nullptr);
}

/// The program's own process: a new session, null streams, then exec.
[[noreturn]] void become_program(const char* path, char* const argv[], int report) {
  if (::setsid() < 0) report_and_exit(report, errno);
  if (!redirect_standard_streams_to_null()) report_and_exit(report, errno);
  close_other_descriptors_on_exec();
  reset_signals();
  ::execve(path, argv, environ);
  report_and_exit(report, errno);
}

/// The intermediate process: starts the program and ends at once, so that
/// the program is handed to init and never becomes a zombie of ours.
[[noreturn]] void run_intermediate(const char* path, char* const argv[], int report) {
  const pid_t program = ::fork();
  if (program < 0) report_and_exit(report, errno);
  if (program == 0) become_program(path, argv, report);
  ::_exit(0);
}

}  // namespace

Result<void> launch_detached(const Path& program) {
  // Everything that allocates happens before fork.
  const char* path = program.c_str();
  char* const argv[] = {const_cast<char*>(path), nullptr};

  // The report pipe stays open until the program's exec closes it; an exec
  // failure sends its errno through it first.
  int report[2];
  if (::pipe2(report, O_CLOEXEC) != 0) return fail(last_system_failure());
  // Keep the pipe clear of 0, 1 and 2 (a host started with a closed standard
  // stream gets them from pipe2), which the program's side overwrites.
  int move_error = 0;
  for (int& end : report) {
    if (end > 2) continue;
    const int moved = ::fcntl(end, F_DUPFD_CLOEXEC, 3);
    if (moved < 0) move_error = errno;
    ::close(end);
    end = moved;
  }
  if (move_error != 0) {
    for (const int end : report) {
      if (end >= 0) ::close(end);
    }
    return fail(system_failure(move_error));
  }
  const pid_t intermediate = ::fork();
  if (intermediate < 0) {
    const Failure failure = last_system_failure();
    ::close(report[0]);
    ::close(report[1]);
    return fail(failure);
  }
  if (intermediate == 0) {
    ::close(report[0]);
    run_intermediate(path, argv, report[1]);
  }
  ::close(report[1]);
  while (::waitpid(intermediate, nullptr, 0) < 0 && errno == EINTR) {
  }

  int code = 0;
  std::size_t got = 0;
  while (got < sizeof code) {
    const ssize_t part = ::read(report[0], reinterpret_cast<char*>(&code) + got, sizeof code - got);
    if (part < 0 && errno == EINTR) continue;
    if (part <= 0) break;
    got += static_cast<std::size_t>(part);
  }
  ::close(report[0]);
  if (got == sizeof code) return fail(system_failure(code));
  return {};
}

}  // namespace qlx
