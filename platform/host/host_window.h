// Host platform: what a window handle stands for on GTK.
#pragma once

#include <gtk/gtk.h>

#include <atomic>

#include "platform/framework.h"

struct HWND__ {
  CWnd* owner = nullptr;
  GtkWidget* window = nullptr;
  std::atomic<bool> destroyed{false};  // read by worker threads that post to the window
  GdkPixbuf* bigIcon = nullptr;
  GdkPixbuf* smallIcon = nullptr;
};

struct HICON__ {
  GdkPixbuf* pixbuf = nullptr;
};

struct HRGN__ {
  cairo_region_t* region = nullptr;
};
