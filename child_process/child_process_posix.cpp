#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <map>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include "base/at_exit.h"
#include "child_process/child_handles.h"
#include "platform/error.h"
#include "platform/sleep.h"

extern char** environ;

namespace qlx {
namespace {

int fd_of(const NativeHandle& handle) {
  return static_cast<int>(handle.value);
}

pid_t pid_of(const ChildProcess& child) {
  return static_cast<pid_t>(ChildHandles::process(child).value);
}

/// The exit code that a wait status gives.
int exit_code_of(int status) {
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  return 128 + WTERMSIG(status);
}

}  // namespace

Result<ChildProcess> start_child(const ChildOptions& options) {
  // This process's ends of the pipes live in `child` from the start and the
  // child's ends in `theirs` (its stdin, stdout, stderr), so that a step that
  // fails closes everything opened before it.
  ChildProcess child;
  int theirs[3] = {-1, -1, -1};
  AtExit close_theirs{[&] {
    for (int fd : theirs) {
      if (fd >= 0) ::close(fd);
    }
  }};
  NativeHandle* ours[3] = {&ChildHandles::input(child), &ChildHandles::output(child),
                           &ChildHandles::errors(child)};
  for (int stream = 0; stream < 3; ++stream) {
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC) != 0) return fail(last_system_failure());
    const bool child_reads = stream == 0;
    theirs[stream] = ends[child_reads ? 0 : 1];
    *ours[stream] = NativeHandle(ends[child_reads ? 1 : 0]);
  }

  std::map<std::string, std::string> env;
  for (char** entry = environ; *entry != nullptr; ++entry) {
    const char* eq = std::strchr(*entry, '=');
    if (eq != nullptr) env[std::string(*entry, static_cast<std::size_t>(eq - *entry))] = eq + 1;
  }
  for (const EnvChange& change : options.env) {
    if (change.value) {
      env[change.name] = *change.value;
    } else {
      env.erase(change.name);
    }
  }
  std::vector<std::string> env_text;
  for (const auto& [name, value] : env) env_text.push_back(name + "=" + value);
  std::vector<char*> envp;
  for (auto& text : env_text) envp.push_back(text.data());
  envp.push_back(nullptr);

  std::string program = options.program.native();
  std::vector<std::string> args{program};
  args.insert(args.end(), options.arguments.begin(), options.arguments.end());
  std::vector<char*> argv;
  for (auto& arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);

  // The posix_spawn family returns its error number instead of setting errno.
  posix_spawn_file_actions_t actions;
  if (const int code = posix_spawn_file_actions_init(&actions); code != 0) {
    return fail(system_failure(code));
  }
  AtExit destroy_actions{[&] { posix_spawn_file_actions_destroy(&actions); }};
  for (int stream = 0; stream < 3; ++stream) {
    if (const int code = posix_spawn_file_actions_adddup2(&actions, theirs[stream], stream);
        code != 0) {
      return fail(system_failure(code));
    }
  }
  if (!options.working_dir.empty()) {
    if (const int code =
            posix_spawn_file_actions_addchdir_np(&actions, options.working_dir.c_str());
        code != 0) {
      return fail(system_failure(code));
    }
  }
  // A child that ends early must give a write failure here, not kill this
  // process; the child itself starts with the default disposition.
  std::signal(SIGPIPE, SIG_IGN);
  posix_spawnattr_t attributes;
  if (const int code = posix_spawnattr_init(&attributes); code != 0) {
    return fail(system_failure(code));
  }
  AtExit destroy_attributes{[&] { posix_spawnattr_destroy(&attributes); }};
  sigset_t defaults;
  sigemptyset(&defaults);
  sigaddset(&defaults, SIGPIPE);
  if (const int code = posix_spawnattr_setsigdefault(&attributes, &defaults); code != 0) {
    return fail(system_failure(code));
  }
  if (const int code = posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF); code != 0) {
    return fail(system_failure(code));
  }
  pid_t pid = -1;
  const int code =
      ::posix_spawn(&pid, program.c_str(), &actions, &attributes, argv.data(), envp.data());
  if (code != 0) return fail(system_failure(code));
  // A pid is no resource to close: the record forgets it once it is reaped.
  ChildHandles::process(child) = NativeHandle(pid, nullptr);
  return child;
}

Result<void> write_child_input(ChildProcess& child, std::span<const std::byte> bytes) {
  while (!bytes.empty()) {
    const ssize_t put = ::write(fd_of(ChildHandles::input(child)), bytes.data(), bytes.size());
    if (put < 0) {
      if (errno == EINTR) continue;
      return fail(last_system_failure());
    }
    bytes = bytes.subspan(static_cast<std::size_t>(put));
  }
  return {};
}

void close_child_input(ChildProcess& child) {
  ChildHandles::input(child).reset();
}

Result<std::size_t> read_child_output(ChildProcess& child, std::span<std::byte> buffer) {
  for (;;) {
    const ssize_t got = ::read(fd_of(ChildHandles::output(child)), buffer.data(), buffer.size());
    if (got >= 0) return static_cast<std::size_t>(got);
    if (errno != EINTR) return fail(last_system_failure());
  }
}

std::string read_child_errors(ChildProcess& child) {
  std::string text;
  char chunk[4096];
  for (;;) {
    const ssize_t got = ::read(fd_of(ChildHandles::errors(child)), chunk, sizeof chunk);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;
    text.append(chunk, static_cast<std::size_t>(got));
  }
  return text;
}

std::optional<std::uint64_t> child_process_id(const ChildProcess& child) {
  if (!child_running(child)) return std::nullopt;
  return static_cast<std::uint64_t>(pid_of(child));
}

Result<int> wait_child(ChildProcess& child) {
  if (!child_running(child)) return fail("the child has already been waited for");
  int status = 0;
  while (::waitpid(pid_of(child), &status, 0) < 0) {
    if (errno != EINTR) return fail(last_system_failure());
  }
  ChildHandles::process(child).reset();
  return exit_code_of(status);
}

Result<std::optional<int>> reap_child_within(ChildProcess& child,
                                             std::chrono::milliseconds timeout) {
  if (!child_running(child)) return fail("the child has already been waited for");
  // No wait with a timeout exists for a pid: look often at first, then every 10 ms.
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  std::chrono::milliseconds pause{1};
  for (;;) {
    int status = 0;
    const pid_t done = ::waitpid(pid_of(child), &status, WNOHANG);
    if (done < 0 && errno != EINTR) return fail(last_system_failure());
    if (done > 0) {
      ChildHandles::process(child).reset();
      return exit_code_of(status);
    }
    const auto now = std::chrono::steady_clock::now();
    if (now >= deadline) return std::nullopt;
    sleep_for(std::min({pause, std::chrono::ceil<std::chrono::milliseconds>(deadline - now)}));
    pause = std::min(pause * 2, std::chrono::milliseconds{10});
  }
}

void kill_child(ChildProcess& child) {
  // Before the wait the pid is still this process's child (a zombie at worst).
  if (child_running(child)) ::kill(pid_of(child), SIGKILL);
}

}  // namespace qlx
