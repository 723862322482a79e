// Host platform: windows, regions, screen metrics and window messages on GTK.
#include <cmath>

#include "host_window.h"
#include "message_queue.h"
#include "platform/system_info.h"
#include "emulated_machine.h"
#include "text.h"

BOOL InitCommonControlsEx(const INITCOMMONCONTROLSEX* picce) {
  // GTK needs no class registration; the call only checks its argument, as Windows does.
  return picce && picce->dwSize == sizeof(INITCOMMONCONTROLSEX) ? TRUE : FALSE;
}

int GetSystemMetrics(int nIndex) {
  if (nIndex == SM_SERVERR2) return static_cast<int>(host::Machine().serverR2);
  if (nIndex != SM_CXSCREEN && nIndex != SM_CYSCREEN) return 0;
  GdkDisplay* display = gdk_display_get_default();
  if (!display) return 0;
  GdkMonitor* monitor = gdk_display_get_primary_monitor(display);
  if (!monitor) monitor = gdk_display_get_monitor(display, 0);
  if (!monitor) return 0;
  GdkRectangle area{};
  gdk_monitor_get_geometry(monitor, &area);
  return nIndex == SM_CXSCREEN ? area.width : area.height;
}

void CWnd::SetWindowText(LPCWSTR text) {
  if (!m_hWnd || !m_hWnd->window) return;
  gtk_window_set_title(GTK_WINDOW(m_hWnd->window), host::Utf8FromWide(text ? text : L"").c_str());
}

void CWnd::MoveWindow(int x, int y, int width, int height, BOOL repaint) {
  if (!m_hWnd || !m_hWnd->window) return;
  GtkWindow* window = GTK_WINDOW(m_hWnd->window);
  // Fixing minimum and maximum to the size keeps window managers from resizing it.
  GdkGeometry hints{};
  hints.min_width = hints.max_width = width;
  hints.min_height = hints.max_height = height;
  gtk_window_set_geometry_hints(window, nullptr, &hints,
                                static_cast<GdkWindowHints>(GDK_HINT_MIN_SIZE | GDK_HINT_MAX_SIZE));
  gtk_window_resize(window, width, height);
  gtk_window_move(window, x, y);
  if (repaint) gtk_widget_queue_draw(m_hWnd->window);
}

int CWnd::SetWindowRgn(HRGN region, BOOL redraw) {
  if (!m_hWnd || !m_hWnd->window) return 0;
  cairo_region_t* shape = region ? region->region : nullptr;
  // The outline both clips the drawing and decides where the mouse reaches the window.
  gtk_widget_shape_combine_region(m_hWnd->window, shape);
  gtk_widget_input_shape_combine_region(m_hWnd->window, shape);
  if (redraw) gtk_widget_queue_draw(m_hWnd->window);
  DeleteObject(region);
  return 1;
}

BOOL CWnd::ShowWindow(int command) {
  if (!m_hWnd || !m_hWnd->window) return FALSE;
  const BOOL wasVisible = gtk_widget_get_visible(m_hWnd->window) ? TRUE : FALSE;
  GtkWindow* window = GTK_WINDOW(m_hWnd->window);
  switch (command) {
    case SW_HIDE: gtk_widget_hide(m_hWnd->window); break;
    case SW_MINIMIZE: gtk_window_iconify(window); break;
    case SW_RESTORE: gtk_window_deiconify(window); gtk_widget_show(m_hWnd->window); break;
    default: gtk_widget_show(m_hWnd->window); break;
  }
  return wasVisible;
}

LRESULT CWnd::SendMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  return SendMessageW(m_hWnd, message, wParam, lParam);
}

LRESULT CWnd::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  // The default window procedure: the only system message the program sends is WM_SETICON.
  if (message == WM_SETICON && m_hWnd && m_hWnd->window) {
    auto* icon = reinterpret_cast<HICON>(lParam);
    GdkPixbuf*& slot = wParam == ICON_BIG ? m_hWnd->bigIcon : m_hWnd->smallIcon;
    slot = icon ? icon->pixbuf : nullptr;
    GList* icons = nullptr;
    if (m_hWnd->smallIcon) icons = g_list_append(icons, m_hWnd->smallIcon);
    if (m_hWnd->bigIcon) icons = g_list_append(icons, m_hWnd->bigIcon);
    gtk_window_set_icon_list(GTK_WINDOW(m_hWnd->window), icons);
    g_list_free(icons);
  }
  return 0;
}

HRGN CreateRoundRectRgn(int left, int top, int right, int bottom, int ellipseWidth, int ellipseHeight) {
  if (right < left) std::swap(left, right);
  if (bottom < top) std::swap(top, bottom);
  const int width = right - left;
  const int height = bottom - top;
  const double rx = std::min(ellipseWidth, width) / 2.0;
  const double ry = std::min(ellipseHeight, height) / 2.0;
  auto* region = new HRGN__{cairo_region_create()};
  // One rectangle per scan line, inset along the corner ellipses, as GDI builds such regions.
  for (int row = 0; row < height; ++row) {
    double inset = 0;
    const double centre = row + 0.5;
    double dy = 0;
    if (centre < ry) dy = ry - centre;
    else if (centre > height - ry) dy = centre - (height - ry);
    if (dy > 0 && ry > 0) inset = rx - rx * std::sqrt(std::max(0.0, 1.0 - (dy / ry) * (dy / ry)));
    const int cut = static_cast<int>(std::lround(inset));
    cairo_rectangle_int_t line{left + cut, top + row, width - 2 * cut, 1};
    if (line.width > 0) cairo_region_union_rectangle(region->region, &line);
  }
  return region;
}

BOOL DeleteObject(HRGN region) {
  if (!region) return FALSE;
  cairo_region_destroy(region->region);
  delete region;
  return TRUE;
}

BOOL PostMessageW(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (!hWnd || hWnd->destroyed) return FALSE;
  host::PostUiTask([hWnd, message, wParam, lParam] {
    if (!hWnd->destroyed && hWnd->owner) hWnd->owner->WindowProc(message, wParam, lParam);
  });
  return TRUE;
}

LRESULT SendMessageW(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (!hWnd || hWnd->destroyed) return 0;
  LRESULT result = 0;
  host::SendUiTask([&] {
    if (!hWnd->destroyed && hWnd->owner) result = hWnd->owner->WindowProc(message, wParam, lParam);
  });
  return result;
}

BOOL IsWindow(HWND hWnd) { return hWnd && !hWnd->destroyed ? TRUE : FALSE; }
