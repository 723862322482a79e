// The system tests' program. Started with "--instance-count-child" it is a second process of
// its own program file: it takes the instance count and ends with the value it read.
#include <gtest/gtest.h>

#include <cstring>

#include "platform/instance_count.h"

int main(int argc, char** argv) {
  if (argc == 2 && std::strcmp(argv[1], "--instance-count-child") == 0)
    return static_cast<int>(ReadAndIncrementInstanceCount());
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
