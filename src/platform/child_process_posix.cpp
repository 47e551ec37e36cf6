#include <cerrno>
#include <csignal>
#include <cstring>
#include <map>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include "base/at_exit.h"
#include "platform/child_process.h"
#include "platform/error.h"

extern char** environ;

namespace qlx {
namespace {

void close_fd(std::intptr_t& fd) {
  if (fd >= 0) ::close(static_cast<int>(fd));
  fd = -1;
}
}  // namespace

ChildProcess::~ChildProcess() {
  close_fd(stdin_write);
  close_fd(stdout_read);
  close_fd(stderr_read);
}

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
  std::intptr_t* ours[3] = {&child.stdin_write, &child.stdout_read, &child.stderr_read};
  for (int stream = 0; stream < 3; ++stream) {
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC) != 0) return fail(last_system_failure());
    const bool child_reads = stream == 0;
    theirs[stream] = ends[child_reads ? 0 : 1];
    *ours[stream] = ends[child_reads ? 1 : 0];
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
  child.process = pid;
  return child;
}

Result<void> write_child_input(ChildProcess& child, std::span<const std::byte> bytes) {
  while (!bytes.empty()) {
    const ssize_t put = ::write(static_cast<int>(child.stdin_write), bytes.data(), bytes.size());
    if (put < 0) {
      if (errno == EINTR) continue;
      return fail(last_system_failure());
    }
    bytes = bytes.subspan(static_cast<std::size_t>(put));
  }
  return {};
}

void close_child_input(ChildProcess& child) {
  close_fd(child.stdin_write);
}

Result<std::size_t> read_child_output(ChildProcess& child, std::span<std::byte> buffer) {
  for (;;) {
    const ssize_t got = ::read(static_cast<int>(child.stdout_read), buffer.data(), buffer.size());
    if (got >= 0) return static_cast<std::size_t>(got);
    if (errno != EINTR) return fail(last_system_failure());
  }
}

std::string read_child_errors(ChildProcess& child) {
  std::string text;
  char chunk[4096];
  for (;;) {
    const ssize_t got = ::read(static_cast<int>(child.stderr_read), chunk, sizeof chunk);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;
    text.append(chunk, static_cast<std::size_t>(got));
  }
  return text;
}

Result<int> wait_child(ChildProcess& child) {
  int status = 0;
  for (;;) {
    const pid_t done = ::waitpid(static_cast<pid_t>(child.process), &status, 0);
    if (done >= 0) break;
    if (errno != EINTR) return fail(last_system_failure());
  }
  child.process = -1;
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  return 128 + WTERMSIG(status);
}

}  // namespace qlx
