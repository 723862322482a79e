// Platform tests run on the real display (Xvfb under CTest) with GTK initialised.
#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include "platform/host/message_queue.h"

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  if (!gtk_init_check(&argc, &argv)) {
    fprintf(stderr, "platform tests need a display (run them under xvfb-run)\n");
    return 1;
  }
  host::SetUiThread();
  return RUN_ALL_TESTS();
}
