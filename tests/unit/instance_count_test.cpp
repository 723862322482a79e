// The instance count: one per program file, zero once no process of it runs.
#include "platform/instance_count.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>

namespace {

// The count a fresh process of this test program reads (its exit status).
int CountSeenByChild() {
  pid_t child = fork();
  if (child == 0) _exit(static_cast<int>(ReadAndIncrementInstanceCount()));
  int status = 0;
  waitpid(child, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(InstanceCount, CountsLiveProcessesOfTheProgramFileAndResetsWhenNoneRuns) {
  // Each child ends before the next starts: every one of them is the only process.
  EXPECT_EQ(0, CountSeenByChild());
  EXPECT_EQ(0, CountSeenByChild());
  // While this process lives, every later start counts on from it, and nothing decreases.
  EXPECT_EQ(0, ReadAndIncrementInstanceCount());
  EXPECT_EQ(1, CountSeenByChild());
  EXPECT_EQ(2, CountSeenByChild());
  EXPECT_EQ(3, ReadAndIncrementInstanceCount());
}

// Another local process, not a copy of the program, holds one of the count's files exclusively.
TEST(InstanceCount, ALockHeldByAnyoneElseCountsAsAnotherCopyAndNeverHangs) {
  struct stat self {};
  ASSERT_EQ(0, stat("/proc/self/exe", &self));
  const std::string base = "/tmp/t6-instances-" + std::to_string(self.st_dev) + "-" + std::to_string(self.st_ino);
  for (const char* file : {".guard", ".alive"}) {
    int ready[2];
    ASSERT_EQ(0, pipe(ready));
    const pid_t holder = fork();
    if (holder == 0) {
      const int fd = open((base + file).c_str(), O_RDWR | O_CREAT, 0666);
      flock(fd, LOCK_EX);
      (void)!write(ready[1], "x", 1);
      pause();
      _exit(0);
    }
    char byte;
    ASSERT_EQ(1, read(ready[0], &byte, 1));
    EXPECT_GE(CountSeenByChild(), 1) << file;
    kill(holder, SIGKILL);
    waitpid(holder, nullptr, 0);
    close(ready[0]);
    close(ready[1]);
    // Once the other process is gone, a start is the first again.
    EXPECT_EQ(0, CountSeenByChild()) << file;
  }
}

}  // namespace
