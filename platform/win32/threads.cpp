// Win32 platform: worker threads with a cooperative pause count.
#include <process.h>

#include "platform/framework.h"

namespace {

// The pause count of one worker, and the event its checkpoint waits on while it is above zero.
struct PauseGate {
  CRITICAL_SECTION lock;
  HANDLE resumed;  // manual-reset, set while the count is zero
  DWORD pauses = 0;
};

struct StartRecord {
  AFX_THREADPROC proc;
  LPVOID param;
  PauseGate* gate;
};

thread_local PauseGate* t_gate = nullptr;

unsigned __stdcall ThreadStart(void* record) {
  StartRecord start = *static_cast<StartRecord*>(record);
  delete static_cast<StartRecord*>(record);
  t_gate = start.gate;
  return start.proc(start.param);
}

// The thread objects that AfxBeginThread makes carry their gate. Both live as long as the
// process: the dialog may ask about a worker that has ended.
struct GatedThread : CWinThread {
  PauseGate gate;
};

PauseGate* GateOf(const CWinThread* thread) {
  return thread ? &const_cast<GatedThread*>(static_cast<const GatedThread*>(thread))->gate : nullptr;
}

}  // namespace

CWinThread* AfxBeginThread(AFX_THREADPROC proc, LPVOID param, int priority, UINT stackSize, DWORD createFlags,
                           void*) {
  auto* thread = new GatedThread;
  InitializeCriticalSection(&thread->gate.lock);
  thread->gate.resumed = CreateEventW(nullptr, TRUE, TRUE, nullptr);
  auto* record = new StartRecord{proc, param, &thread->gate};
  // Started held, so the priority is set before the worker runs (as the framework does).
  const uintptr_t handle = _beginthreadex(nullptr, stackSize, &ThreadStart, record, CREATE_SUSPENDED, nullptr);
  if (!handle) {
    delete record;
    return nullptr;
  }
  thread->m_hThread = reinterpret_cast<HANDLE>(handle);
  SetThreadPriority(thread->m_hThread, priority);
  if (!(createFlags & CREATE_SUSPENDED)) ::ResumeThread(thread->m_hThread);
  return thread;
}

DWORD CWinThread::SuspendThread() {
  PauseGate* gate = GateOf(this);
  if (!m_hThread) return static_cast<DWORD>(-1);
  EnterCriticalSection(&gate->lock);
  const DWORD previous = gate->pauses++;
  ResetEvent(gate->resumed);
  LeaveCriticalSection(&gate->lock);
  return previous;
}

DWORD CWinThread::ResumeThread() {
  PauseGate* gate = GateOf(this);
  if (!m_hThread) return static_cast<DWORD>(-1);
  EnterCriticalSection(&gate->lock);
  const DWORD previous = gate->pauses;
  if (gate->pauses > 0 && --gate->pauses == 0) SetEvent(gate->resumed);
  LeaveCriticalSection(&gate->lock);
  return previous;
}

void WorkerCheckpoint() {
  if (PauseGate* gate = t_gate) WaitForSingleObject(gate->resumed, INFINITE);
}
