// browser-stand-in PROGRAM [ARGS...]: runs PROGRAM as a child on this
// process's own standard streams, waits for it and exits with its exit code
// (128 + the signal when it was killed, 127 when it could not be started).
#include <cerrno>
#include <csignal>

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

int main(int argc, char** argv) {
  if (argc < 2) return 127;
  pid_t child;
  if (::posix_spawn(&child, argv[1], nullptr, nullptr, argv + 1, environ) != 0) return 127;
  int status = 0;
  while (::waitpid(child, &status, 0) < 0) {
    if (errno != EINTR) return 127;
  }
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  return 128 + WTERMSIG(status);
}
