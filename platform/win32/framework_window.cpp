// Win32 platform: the window class's members, each the system call on the window's handle.
#include "platform/framework.h"

void CWnd::SetWindowText(LPCWSTR text) { ::SetWindowTextW(m_hWnd, text); }

void CWnd::MoveWindow(int x, int y, int width, int height, BOOL repaint) {
  ::MoveWindow(m_hWnd, x, y, width, height, repaint);
}

int CWnd::SetWindowRgn(HRGN region, BOOL redraw) { return ::SetWindowRgn(m_hWnd, region, redraw); }

BOOL CWnd::ShowWindow(int command) { return ::ShowWindow(m_hWnd, command); }

LRESULT CWnd::SendMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  return ::SendMessageW(m_hWnd, message, wParam, lParam);
}

LRESULT CWnd::WindowProc(UINT, WPARAM, LPARAM) {
  // The program's own messages that a derived class does not handle; system messages never
  // come here (the dialog manager's default handles them).
  return 0;
}
