// The instance count: one per program file, zero once no process of it runs.
#include "platform/instance_count.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

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

}  // namespace
