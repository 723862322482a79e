// Platform layer: the application framework's classes that the core derives from (application
// object, windows, modal HTML dialog, worker threads, message boxes, resources), with the
// framework's familiar names. The host implements them on GTK and WebKitGTK, Windows on Win32.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "html_document.h"
#include "windows_types.h"

#ifdef _WIN32
#include <commctrl.h>
#else
struct HINSTANCE__;
using HINSTANCE = HINSTANCE__*;

struct INITCOMMONCONTROLSEX {
  DWORD dwSize;
  DWORD dwICC;
};
constexpr DWORD ICC_WIN95_CLASSES = 0xFF;
BOOL InitCommonControlsEx(const INITCOMMONCONTROLSEX* picce);
#endif

// Windows.
class CWnd {
 public:
  CWnd() = default;
  CWnd(const CWnd&) = delete;
  CWnd& operator=(const CWnd&) = delete;
  virtual ~CWnd() = default;

  HWND GetSafeHwnd() const { return m_hWnd; }
  void SetWindowText(LPCWSTR text);
  void MoveWindow(int x, int y, int width, int height, BOOL repaint = TRUE);
  // Takes ownership of the region, as Windows does.
  int SetWindowRgn(HRGN region, BOOL redraw);
  BOOL ShowWindow(int command);
  LRESULT SendMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0);

  // The window procedure: the message map of a derived class dispatches from here.
  virtual LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);

  HWND m_hWnd = nullptr;
};

#ifndef _WIN32
HRGN CreateRoundRectRgn(int left, int top, int right, int bottom, int ellipseWidth, int ellipseHeight);
BOOL DeleteObject(HRGN region);
BOOL PostMessageW(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);
// From another thread, waits until the window's thread has handled the message.
LRESULT SendMessageW(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);
// False once the window has been destroyed (its dialog has ended).
BOOL IsWindow(HWND hWnd);
#endif

// The application object.
class CWinApp {
 public:
  // Without a name the application name is the program file's name without its extension.
  explicit CWinApp(LPCWSTR appName = nullptr);
  virtual ~CWinApp();
  virtual BOOL InitInstance();
  HICON LoadIcon(UINT resourceId) const;

  CWnd* m_pMainWnd = nullptr;
  std::wstring m_strAppName;
  // The argument text: the command line after the program name.
  std::wstring m_strCmdLine;
};

CWinApp* AfxGetApp();
LPCWSTR AfxGetAppName();
// Milliseconds on a steady clock, and the time at which the message being handled was posted
// (on the same clock), as Windows keeps it for the message loop.
#ifndef _WIN32
DWORD GetTickCount();
LONG GetMessageTime();
// The host program's entry: names the application, takes the argument text, loads the emulated
// machine, opens the display and runs InitInstance; the process then ends.
int RunApplication(int argc, char** argv);
#endif
void AfxEnableControlContainer();
int AfxMessageBox(LPCWSTR text, UINT type = MB_OK, UINT helpId = 0);

// Resources compiled into the program.
HINSTANCE AfxFindStringResourceHandle(UINT id);
#ifndef _WIN32
// Copies string resource id into buffer (at most bufferMax - 1 characters plus NUL); returns
// the number of characters copied, 0 when there is no such string.
int LoadStringW(HINSTANCE instance, UINT id, LPWSTR buffer, int bufferMax);
#endif

// Modal dialogs.
class CDialog : public CWnd {
 public:
  explicit CDialog(UINT templateId, CWnd* parent = nullptr);
  ~CDialog() override;

  // Creates the window, runs OnInitDialog and the modal loop until EndDialog.
  virtual INT_PTR DoModal();
  virtual BOOL OnInitDialog();
  virtual void OnCancel();
  void EndDialog(int result);

 protected:
  UINT m_nIDTemplate;

 private:
  INT_PTR m_nModalResult = -1;
  bool m_bEnded = false;
  void* m_pModalLoop = nullptr;  // the platform's loop object while DoModal runs
};

class HtmlViewHost;  // the platform's web view behind an HTML dialog

// A dialog whose client area is a web view showing HTML pages from the program's resources.
class CDHtmlDialog : public CDialog {
 public:
  CDHtmlDialog(UINT templateId, UINT htmlResourceId, CWnd* parent);
  ~CDHtmlDialog() override;

  // Creates the web view over the client area and starts loading the initial page.
  BOOL OnInitDialog() override;
  // Starts loading HTML resource htmlResourceId; returns at once, OnDocumentComplete follows.
  void LoadFromResource(UINT htmlResourceId);
  // Called on the user-interface thread when a page has finished loading.
  virtual void OnDocumentComplete(LPCWSTR url);
  // Called on the user-interface thread for a click on the page, after the page's own handlers
  // have run; element is the element actually clicked.
  virtual void OnHtmlElementClick(IHTMLElement* element);
  // Answers whether right-clicking a page shows the web view's menu: S_OK means "handled, show
  // nothing", S_FALSE lets the menu show.
  virtual HRESULT ShowContextMenu();

  // The current page's document. Each fails (and changes nothing) while no page is loaded or a
  // page is loading, or when the page lacks the element or function.
  HRESULT GetElementInnerText(LPCWSTR elementId, std::wstring& text);
  HRESULT PutElementInnerHtml(LPCWSTR elementId, LPCWSTR html);
  // Calls a page script function with string arguments in their natural order.
  HRESULT InvokePageScript(LPCWSTR functionName, const std::vector<std::wstring>& arguments, VARIANT& result);
  // Runs a script of the program's own in the page, with the rights of the program rather than
  // the page's (its content policy allows no eval): a function body whose returned value is the
  // result. For tests and tools; the program itself only calls the page's functions.
  HRESULT ExecutePageScript(LPCWSTR functionBody, VARIANT& result);
  // Reads an attribute of an element that raised an event, as written.
  static HRESULT GetElementAttribute(const IHTMLElement* element, LPCWSTR name, VARIANT& value);

 protected:
  UINT m_nHtmlResID;
  std::unique_ptr<HtmlViewHost> m_pHtmlView;
};

// Threads.
using AFX_THREADPROC = UINT (*)(LPVOID);
#ifndef _WIN32
constexpr int THREAD_PRIORITY_NORMAL = 0;
#endif

class CWinThread {
 public:
  virtual ~CWinThread() = default;
  // Pause and continue are cooperative: the worker stops at its next checkpoint
  // (WorkerCheckpoint) while the pause count is above zero. Never suspended from outside, since
  // a thread stopped at an arbitrary point may hold the heap lock. Return the previous count.
  DWORD SuspendThread();
  DWORD ResumeThread();

  HANDLE m_hThread = nullptr;
};

// Called by a worker at its checkpoints: waits while the worker is paused.
void WorkerCheckpoint();

CWinThread* AfxBeginThread(AFX_THREADPROC proc, LPVOID param, int priority = THREAD_PRIORITY_NORMAL,
                           UINT stackSize = 0, DWORD createFlags = 0, void* securityAttributes = nullptr);
#ifndef _WIN32
DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds);
#endif
