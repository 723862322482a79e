// The window's placement and rounded outline.
#include "installer_dialog.h"
#include "platform/system_info.h"

void CInternetInstallerDlg::SetWindowShape(int height) {
  const int screenWidth = GetSystemMetrics(SM_CXSCREEN);
  const int screenHeight = GetSystemMetrics(SM_CYSCREEN);
  // 50 pixels left of the horizontal centre, centred vertically; C++ division truncates
  // toward zero as the placement rule wants.
  const int x = (screenWidth - m_nWindowWidth) / 2 - 50;
  const int y = (screenHeight - height) / 2;
  MoveWindow(x, y, m_nWindowWidth, height, TRUE);
  SetWindowRgn(CreateRoundRectRgn(0, 0, m_nWindowWidth, height, 20, 20), TRUE);
  m_nWindowHeight = height;
}
