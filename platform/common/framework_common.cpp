// Platform layer, both implementations: the framework members that touch no system service
// (the application object's registration, the dialogs' default handlers, the internet
// exception's text).
#include <algorithm>

#include "platform/framework.h"
#include "platform/internet.h"

namespace {
CWinApp* g_app = nullptr;
}  // namespace

CWinApp::CWinApp(LPCWSTR appName) {
  if (appName) m_strAppName = appName;
  g_app = this;
}

CWinApp::~CWinApp() {
  if (g_app == this) g_app = nullptr;
}

BOOL CWinApp::InitInstance() { return TRUE; }

CWinApp* AfxGetApp() { return g_app; }

LPCWSTR AfxGetAppName() { return g_app ? g_app->m_strAppName.c_str() : L""; }

CDialog::CDialog(UINT templateId, CWnd*) : m_nIDTemplate(templateId) {}

CDialog::~CDialog() = default;

BOOL CDialog::OnInitDialog() { return TRUE; }

void CDialog::OnCancel() { EndDialog(IDCANCEL); }

void CDHtmlDialog::OnDocumentComplete(LPCWSTR) {}

void CDHtmlDialog::OnHtmlElementClick(IHTMLElement*) {}

HRESULT CDHtmlDialog::ShowContextMenu() { return S_FALSE; }

CInternetException::CInternetException(DWORD error, std::wstring message)
    : m_dwError(error), m_message(std::move(message)) {}

BOOL CInternetException::GetErrorMessage(LPWSTR buffer, UINT maxChars, UINT* helpContext) const {
  if (helpContext) *helpContext = 0;
  if (!buffer || maxChars == 0) return FALSE;
  const std::size_t length = std::min<std::size_t>(m_message.size(), maxChars - 1);
  m_message.copy(buffer, length);
  buffer[length] = L'\0';
  return TRUE;
}
