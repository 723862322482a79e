// Host platform: worker threads and waiting for them.
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "handle.h"
#include "platform/framework.h"

namespace {

// A thread handle: lets the user-interface thread wait, with a time limit, for a worker's end,
// and holds the worker's pause count.
struct ThreadHandle : HANDLE__ {
  std::mutex lock;
  std::condition_variable ended;
  std::condition_variable resumed;
  bool finished = false;
  DWORD pauses = 0;
};

thread_local ThreadHandle* t_currentWorker = nullptr;

ThreadHandle* AsThread(HANDLE handle) {
  return host::PointsToObject(handle) ? dynamic_cast<ThreadHandle*>(handle) : nullptr;
}

}  // namespace

CWinThread* AfxBeginThread(AFX_THREADPROC proc, LPVOID param, int, UINT, DWORD, void*) {
  // Thread objects live as long as the process: the dialog may still ask about a worker that
  // has ended, and the process is short-lived.
  auto* thread = new CWinThread;
  auto* handle = new ThreadHandle;
  thread->m_hThread = handle;
  std::thread([proc, param, handle] {
    t_currentWorker = handle;
    proc(param);
    std::lock_guard guard(handle->lock);
    handle->finished = true;
    handle->ended.notify_all();
  }).detach();
  return thread;
}

DWORD WaitForSingleObject(HANDLE object, DWORD milliseconds) {
  ThreadHandle* handle = AsThread(object);
  if (!handle) return WAIT_FAILED;
  std::unique_lock guard(handle->lock);
  auto isFinished = [handle] { return handle->finished; };
  if (milliseconds == INFINITE) {
    handle->ended.wait(guard, isFinished);
    return WAIT_OBJECT_0;
  }
  return handle->ended.wait_for(guard, std::chrono::milliseconds(milliseconds), isFinished) ? WAIT_OBJECT_0
                                                                                          : WAIT_TIMEOUT;
}

DWORD CWinThread::SuspendThread() {
  ThreadHandle* handle = AsThread(m_hThread);
  if (!handle) return static_cast<DWORD>(-1);
  std::lock_guard guard(handle->lock);
  return handle->pauses++;
}

DWORD CWinThread::ResumeThread() {
  ThreadHandle* handle = AsThread(m_hThread);
  if (!handle) return static_cast<DWORD>(-1);
  std::lock_guard guard(handle->lock);
  const DWORD previous = handle->pauses;
  if (handle->pauses > 0 && --handle->pauses == 0) handle->resumed.notify_all();
  return previous;
}

void WorkerCheckpoint() {
  ThreadHandle* self = t_currentWorker;
  if (!self) return;
  std::unique_lock guard(self->lock);
  self->resumed.wait(guard, [self] { return self->pauses == 0; });
}
