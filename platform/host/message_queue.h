// Host platform: the user-interface thread's queue of posted and sent messages and of
// internal tasks (page loads, clicks), run by the GTK main loop in arrival order.
#pragma once

#include <functional>

#include "platform/windows_types.h"

namespace host {

// Marks the calling thread as the user-interface thread (the one running the GTK main loop).
void SetUiThread();
bool OnUiThread();

// Queues a task for the user-interface thread; callable from any thread.
void PostUiTask(std::function<void()> task);
// Runs a task on the user-interface thread and waits for it; runs it at once on that thread.
// Returns false when the task was dropped because the queue was shut down.
bool SendUiTask(const std::function<void()>& task);
// Accepts tasks (a modal run begins).
void OpenUiQueue();
// Drops every queued task, answers every waiting sender and accepts no more until the queue is
// opened again (the modal run has ended).
void ShutDownUiQueue();

// While a hold exists, queued tasks wait: a page call that spins the main loop for the web
// view's answer must not let another click or report run in the middle of a handler.
class DispatchHold {
 public:
  DispatchHold();
  ~DispatchHold();
  DispatchHold(const DispatchHold&) = delete;
  DispatchHold& operator=(const DispatchHold&) = delete;
};

}  // namespace host
