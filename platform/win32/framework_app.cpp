// Win32 platform: the application object, the program's entry (wWinMain), message boxes and
// the program's own resources.
#include <string>

#include "platform/framework.h"

namespace {

std::wstring ProgramNameWithoutExtension() {
  WCHAR path[MAX_PATH + 1] = {};
  const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring name(path, length);
  name.erase(0, name.find_last_of(L"\\/") + 1);
  const auto dot = name.find_last_of(L'.');
  if (dot != std::wstring::npos && dot > 0) name.erase(dot);
  return name;
}
}  // namespace

void AfxEnableControlContainer() {
  // The web browser control is an OLE object: its container needs OLE on this thread.
  OleInitialize(nullptr);
}

int AfxMessageBox(LPCWSTR text, UINT type, UINT) {
  // The framework's default icon is the exclamation mark; the owner is the active window, if
  // the program has one.
  if ((type & MB_ICONMASK) == 0) type |= MB_ICONEXCLAMATION;
  HWND owner = AfxGetApp() && AfxGetApp()->m_pMainWnd ? AfxGetApp()->m_pMainWnd->GetSafeHwnd() : nullptr;
  return MessageBoxW(owner, text ? text : L"", AfxGetAppName(), type | MB_TASKMODAL);
}

HICON CWinApp::LoadIcon(UINT resourceId) const {
  return ::LoadIconW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(resourceId));
}

HINSTANCE AfxFindStringResourceHandle(UINT id) {
  // Strings are stored sixteen to a block; block n + 1 holds ids 16n to 16n + 15.
  HINSTANCE module = GetModuleHandleW(nullptr);
  return FindResourceW(module, MAKEINTRESOURCEW(id / 16 + 1), reinterpret_cast<LPCWSTR>(RT_STRING)) ? module
                                                                                                    : nullptr;
}

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR commandLine, int) {
  CWinApp* app = AfxGetApp();
  if (!app) return 1;
  if (app->m_strAppName.empty()) app->m_strAppName = ProgramNameWithoutExtension();
  // The argument text: what follows the program name (the system hands it over already cut).
  app->m_strCmdLine = commandLine ? commandLine : L"";
  app->InitInstance();
  return 0;
}
