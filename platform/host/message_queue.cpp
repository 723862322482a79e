// Host platform: the user-interface thread's message queue on the GTK main loop.
#include "message_queue.h"

#include "platform/framework.h"

#include <glib.h>

#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

namespace host {

namespace {

struct Entry {
  std::function<void()> task;
  bool* done = nullptr;  // set (under the queue lock) when a waiting sender may go on
  DWORD postedAt = 0;    // GetTickCount() when queued
};

thread_local LONG t_messageTime = 0;

struct Queue {
  std::mutex lock;
  std::condition_variable answered;
  std::deque<Entry> entries;
  bool scheduled = false;
  bool shutDown = false;
  int holds = 0;  // user-interface thread only
  std::thread::id uiThread;
};

Queue& TheQueue() {
  static Queue queue;
  return queue;
}

gboolean Dispatch(gpointer);

void ScheduleLocked(Queue& queue) {
  if (queue.scheduled || queue.entries.empty()) return;
  queue.scheduled = true;
  // May run again inside a modal loop that a task runs (a message box, the folder picker): sent
  // and posted messages reach the thread there too, as on Windows. Holds still keep it back.
  GSource* source = g_idle_source_new();
  g_source_set_priority(source, G_PRIORITY_DEFAULT);
  g_source_set_can_recurse(source, TRUE);
  g_source_set_callback(source, Dispatch, nullptr, nullptr);
  g_source_attach(source, nullptr);
  g_source_unref(source);
}

gboolean Dispatch(gpointer) {
  Queue& queue = TheQueue();
  for (;;) {
    Entry entry;
    {
      std::lock_guard guard(queue.lock);
      if (queue.holds > 0 || queue.entries.empty()) {
        queue.scheduled = false;
        return G_SOURCE_REMOVE;
      }
      entry = std::move(queue.entries.front());
      queue.entries.pop_front();
    }
    t_messageTime = static_cast<LONG>(entry.postedAt);
    entry.task();
    if (entry.done) {
      std::lock_guard guard(queue.lock);
      *entry.done = true;
      queue.answered.notify_all();
    }
  }
}

}  // namespace

void SetUiThread() { TheQueue().uiThread = std::this_thread::get_id(); }
bool OnUiThread() { return TheQueue().uiThread == std::this_thread::get_id(); }

void PostUiTask(std::function<void()> task) {
  Queue& queue = TheQueue();
  std::lock_guard guard(queue.lock);
  if (queue.shutDown) return;
  queue.entries.push_back(Entry{std::move(task), nullptr, GetTickCount()});
  ScheduleLocked(queue);
}

bool SendUiTask(const std::function<void()>& task) {
  if (OnUiThread()) {
    task();
    return true;
  }
  Queue& queue = TheQueue();
  std::unique_lock guard(queue.lock);
  if (queue.shutDown) return false;
  bool done = false;
  queue.entries.push_back(Entry{task, &done, GetTickCount()});
  ScheduleLocked(queue);
  // Entries dropped by a shut-down are answered too (see ShutDownUiQueue), so `done` is the
  // only thing to wait for; a task already running finishes first.
  queue.answered.wait(guard, [&] { return done; });
  return !queue.shutDown;
}

void OpenUiQueue() {
  std::lock_guard guard(TheQueue().lock);
  TheQueue().shutDown = false;
}

void ShutDownUiQueue() {
  Queue& queue = TheQueue();
  std::lock_guard guard(queue.lock);
  queue.shutDown = true;
  for (Entry& entry : queue.entries)
    if (entry.done) *entry.done = true;
  queue.entries.clear();
  queue.answered.notify_all();
}

DispatchHold::DispatchHold() {
  std::lock_guard guard(TheQueue().lock);
  ++TheQueue().holds;
}

DispatchHold::~DispatchHold() {
  Queue& queue = TheQueue();
  std::lock_guard guard(queue.lock);
  if (--queue.holds == 0) ScheduleLocked(queue);
}

}  // namespace host

DWORD GetTickCount() {
  static const auto start = std::chrono::steady_clock::now();
  return static_cast<DWORD>(
      std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count());
}

LONG GetMessageTime() { return host::t_messageTime; }
