// The instance count: shared by every process of one program file, its own for a copy.
#include "platform/instance_count.h"

#include "system_test.h"

namespace {

using InstanceCountTest = SystemTest;

TEST_F(InstanceCountTest, SharedByTheProcessesOfOneFileAndZeroAgainWhenNoneRuns) {
  // A copy of the program is another file with a count of its own. Each of its processes
  // ends before the next starts, so every one of them is the only process of that file.
  const std::wstring copy = Folder() + L"copy.exe";
  ASSERT_TRUE(CopyTestProgram(copy));
  EXPECT_EQ(0, RunProgram(copy, "--instance-count-child"));
  EXPECT_EQ(0, RunProgram(copy, "--instance-count-child"));
  // While this process lives, every later start of its file counts on from it.
  const std::wstring self = TestProgramPath();
  EXPECT_EQ(0, ReadAndIncrementInstanceCount());
  EXPECT_EQ(1, RunProgram(self, "--instance-count-child"));
  EXPECT_EQ(2, RunProgram(self, "--instance-count-child"));
  EXPECT_EQ(3, ReadAndIncrementInstanceCount());
  EXPECT_EQ(0, RunProgram(copy, "--instance-count-child"));
}

}  // namespace
