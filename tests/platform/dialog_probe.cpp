#include "dialog_probe.h"

#include <glib.h>

namespace {
CWinApp& TestApp() {
  static CWinApp app(L"T6InternetInstaller");
  return app;
}
}  // namespace

void SetTestArguments(const std::wstring& arguments) { TestApp().m_strCmdLine = arguments; }

DialogProbe::DialogProbe(PageStep step, unsigned timeoutMs) : m_step(std::move(step)), m_timeoutMs(timeoutMs) {
  TestApp();
}

DialogProbe::~DialogProbe() {
  if (m_timer && !m_timedOut) g_source_remove(m_timer);
  m_workerContext.bStop = 1;
  m_extractContext.bStop = 1;
  if (m_pWorkerThread) {
    m_pWorkerThread->ResumeThread();
    WaitForSingleObject(m_pWorkerThread->m_hThread, 30000);
  }
}

void DialogProbe::OnDocumentComplete(LPCWSTR url) {
  CInternetInstallerDlg::OnDocumentComplete(url);
  if (!m_timer) {
    m_timer = g_timeout_add(m_timeoutMs, [](gpointer self) {
      auto* probe = static_cast<DialogProbe*>(self);
      probe->m_timedOut = true;
      probe->EndDialog(IDABORT);
      return G_SOURCE_REMOVE;
    }, this);
  }
  std::wstring address = url ? url : L"";
  m_step(*this, address.substr(address.find_last_of(L'/') + 1));
}

std::wstring DialogProbe::Eval(const std::wstring& expression) {
  VARIANT value;
  if (FAILED(ExecutePageScript((L"return (" + expression + L");").c_str(), value)) || value.vt != VT_BSTR) return L"";
  return value.bstrVal;
}

bool DialogProbe::Run(const std::wstring& statements) {
  VARIANT value;
  return SUCCEEDED(ExecutePageScript(statements.c_str(), value));
}

std::wstring DialogProbe::ElementText(LPCWSTR elementId) {
  std::wstring text;
  GetPageElementText(elementId, text);
  return text;
}

void DialogProbe::OnHtmlElementClick(IHTMLElement* element) {
  CInternetInstallerDlg::OnHtmlElementClick(element);
  if (m_onClick) m_onClick(*this, *element);
}
