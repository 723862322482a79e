#include "unprivileged.h"

#include <sys/wait.h>
#include <unistd.h>

int RunUnprivileged(const std::function<int()>& body) {
  constexpr uid_t kNobody = 65534;
  const pid_t child = fork();
  if (child < 0) return -1;
  if (child == 0) {
    if (geteuid() == 0 && (setgid(kNobody) != 0 || setuid(kNobody) != 0)) _exit(125);
    _exit(body());
  }
  int status = 0;
  if (waitpid(child, &status, 0) != child || !WIFEXITED(status)) return -1;
  return WEXITSTATUS(status);
}
