// The user-interface queue: sent and posted tasks reach the thread while a handler runs a modal
// loop of its own (a message box, the folder picker), as Windows delivers them there.
#include <glib.h>
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "platform/host/message_queue.h"

namespace {

TEST(MessageQueue, TasksArriveInsideAModalLoopThatAHandlerRuns) {
  host::OpenUiQueue();
  bool handlerDone = false;
  bool sentArrived = false, postedArrived = false, arrivedInside = false;
  std::thread worker;
  GMainLoop* modal = g_main_loop_new(nullptr, FALSE);
  host::PostUiTask([&] {
    // The handler's modal loop, given up after 5 s so that a failure cannot hang the run.
    const guint limit = g_timeout_add(5000, [](gpointer loop) {
      g_main_loop_quit(static_cast<GMainLoop*>(loop));
      return G_SOURCE_REMOVE;
    }, modal);
    worker = std::thread([&] {
      host::PostUiTask([&] { postedArrived = true; });
      host::SendUiTask([&] {
        sentArrived = true;
        g_main_loop_quit(modal);
      });
    });
    g_main_loop_run(modal);
    arrivedInside = sentArrived && postedArrived;
    if (sentArrived) g_source_remove(limit);
    handlerDone = true;
  });
  while (!handlerDone || !sentArrived) g_main_context_iteration(nullptr, TRUE);
  worker.join();
  g_main_loop_unref(modal);
  EXPECT_TRUE(arrivedInside) << "the worker's tasks waited for the modal loop to end";
}

}  // namespace
