// Worker threads: the pause count is cooperative and nests, and a worker's end can be waited for.
#include <atomic>
#include <chrono>
#include <thread>

#include "platform/framework.h"
#include "system_test.h"

namespace {

using ThreadsTest = SystemTest;

struct Work {
  std::atomic<long> steps{0};
  std::atomic<bool> stop{false};
};

UINT Counting(LPVOID param) {
  auto& work = *static_cast<Work*>(param);
  while (!work.stop) {
    ++work.steps;
    WorkerCheckpoint();
  }
  return 0;
}

// Waits (at most five seconds) until the worker has gone at least that far.
bool Reaches(const Work& work, long steps) {
  for (int i = 0; i < 500 && work.steps < steps; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  return work.steps >= steps;
}

TEST_F(ThreadsTest, PausesNestAndHoldTheWorkerAtItsCheckpoint) {
  Work work;
  CWinThread* worker = AfxBeginThread(Counting, &work);
  ASSERT_NE(nullptr, worker);
  ASSERT_TRUE(Reaches(work, 10));
  EXPECT_EQ(0u, worker->SuspendThread());
  EXPECT_EQ(1u, worker->SuspendThread());
  // At most the step it was in when the pause came.
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  const long held = work.steps;
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  EXPECT_EQ(held, work.steps.load());
  EXPECT_EQ(2u, worker->ResumeThread());
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_EQ(held, work.steps.load()) << "one resume of two let the worker go";
  EXPECT_EQ(WAIT_TIMEOUT, WaitForSingleObject(worker->m_hThread, 0));
  EXPECT_EQ(1u, worker->ResumeThread());
  EXPECT_TRUE(Reaches(work, held + 10));
  work.stop = true;
  EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(worker->m_hThread, 5000));
  // Resuming a running worker changes nothing.
  EXPECT_EQ(0u, worker->ResumeThread());
}

}  // namespace
