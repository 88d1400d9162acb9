// Runs a test body in a child process, for device state that must start
// fresh or may end the process (file-size limits, registry restarts).
#pragma once

#include <sys/wait.h>
#include <unistd.h>

// Returns the child's exit status, or 128 + the signal that ended it.
template <typename Body>
int in_child(Body body) {
  pid_t pid = fork();
  if (pid == 0) _exit(body());
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}
