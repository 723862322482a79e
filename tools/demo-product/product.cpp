// The demo stand-in for the product program "T6.EXE": says that it was started, and where.
#include <unistd.h>

#include <climits>
#include <cstdio>

int main(int argc, char** argv) {
  char folder[PATH_MAX] = {};
  char program[PATH_MAX] = {};
  if (!getcwd(folder, sizeof folder)) folder[0] = '\0';
  const ssize_t length = readlink("/proc/self/exe", program, sizeof program - 1);
  if (length > 0) program[length] = '\0';
  std::printf("TessalyT6 (demo) started: %s in %s\n", program, folder);
  for (int i = 1; i < argc; ++i) std::printf("argument: %s\n", argv[i]);
  std::fflush(stdout);
  return 0;
}
