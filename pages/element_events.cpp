// The element event table and its reactions: what a click on the page does.
#include <iterator>

#include "app/installer_dialog.h"
#include "environment/install_location.h"
#include "environment/os_identification.h"
#include "platform/files.h"
#include "platform/shell.h"
#include "resources/resource_ids.h"

namespace {

struct ElementEvent {
  const WCHAR* elementId;
  HRESULT (CInternetInstallerDlg::*reaction)(IHTMLElement*);
};

// Searched in order; the first row whose id equals the clicked element's id applies.
const ElementEvent kElementEvents[] = {
    {L"ifSetup", &CInternetInstallerDlg::OnInstallStart},
    {L"BtnClose", &CInternetInstallerDlg::OnClose},
    {L"BtnCancel", &CInternetInstallerDlg::OnClose},
    {L"BtnMin", &CInternetInstallerDlg::OnMinimise},
    {L"userDefined", &CInternetInstallerDlg::OnOptionsToggle},
    {L"userDefinedImg", &CInternetInstallerDlg::OnOptionsToggle},
    {L"Browse", &CInternetInstallerDlg::OnBrowse},
    {L"Licence", &CInternetInstallerDlg::OnShowAgreement},
    {L"GoBack", &CInternetInstallerDlg::OnAgreementBack},
    {L"Accept", &CInternetInstallerDlg::OnAgreementBox},
    {L"AcceptAndInstall", &CInternetInstallerDlg::OnAcceptAndInstall},
    {L"BtnRemove", &CInternetInstallerDlg::OnRemove},
    {L"BtnRun", &CInternetInstallerDlg::OnRunProduct},
    {L"AlertOK", &CInternetInstallerDlg::OnClose},
    {L"btnConfirmOK", &CInternetInstallerDlg::OnAbandon},
    {L"BtnPause", &CInternetInstallerDlg::OnPause},
    {L"btnConfirmCancel", &CInternetInstallerDlg::OnContinue},
};

// How long the close buttons and the abandon question wait for a running worker.
constexpr DWORD kCloseWaitMs = 1000;
constexpr DWORD kAbandonWaitMs = 2000;

}  // namespace

void CInternetInstallerDlg::OnHtmlElementClick(IHTMLElement* element) {
  if (!element || element->id.empty()) return;
  for (const ElementEvent& row : kElementEvents) {
    if (element->id == row.elementId) {
      (this->*row.reaction)(element);
      return;
    }
  }
}

HRESULT CInternetInstallerDlg::ShowContextMenu() {
  return S_OK;  // handled: right-clicking a page shows no menu
}

HRESULT CInternetInstallerDlg::OnInstallStart(IHTMLElement*) {
  // The page itself explains a missing tick; the "Info" line explains space and system.
  if (!m_bLocationOk || m_bAccepted == 0 || !IsSupportedSystem(m_nOsMajor) || m_strChosenDir.empty()) return S_OK;
  m_workerContext.strInstallDir = InstallFolderFromChosen(m_strChosenDir);
  LoadFromResource(IDR_HTML_INSTALLING);
  return S_OK;
}

HRESULT CInternetInstallerDlg::OnClose(IHTMLElement*) {
  m_workerContext.bStop = 1;
  m_extractContext.bStop = 1;
  if (m_pWorkerThread) WaitForSingleObject(m_pWorkerThread->m_hThread, kCloseWaitMs);
  OnCancel();
  return S_OK;
}

HRESULT CInternetInstallerDlg::OnMinimise(IHTMLElement*) {
  ShowWindow(SW_MINIMIZE);
  return S_OK;
}

HRESULT CInternetInstallerDlg::OnOptionsToggle(IHTMLElement*) {
  // The page's own userDefined() shows or hides the options at the same click.
  SetWindowShape(m_nWindowHeight == 386 ? 516 : 386);
  return S_OK;
}

HRESULT CInternetInstallerDlg::OnShowAgreement(IHTMLElement*) {
  LoadFromResource(IDR_HTML_AGREEMENT);
  SetWindowShape(575);
  return S_OK;
}

HRESULT CInternetInstallerDlg::OnAgreementBack(IHTMLElement*) {
  LoadFromResource(IDR_HTML_INSTALL_START);
  SetWindowShape(386);
  return S_OK;
}

HRESULT CInternetInstallerDlg::OnAgreementBox(IHTMLElement* element) {
  // The page's sel() has already swapped the image: its source is the box's new state.
  std::wstring source;
  if (GetSourceAttribute(element, L"src", source))
    m_bAccepted = source.size() >= 3 && source.compare(source.size() - 3, 3, L"144") == 0 ? 1 : 0;
  return S_OK;
}

HRESULT CInternetInstallerDlg::OnAcceptAndInstall(IHTMLElement* element) {
  m_bAccepted = 1;
  return OnInstallStart(element);
}

HRESULT CInternetInstallerDlg::OnRemove(IHTMLElement*) {
  RunUninstall();  // shows page 130 first
  return S_OK;
}

HRESULT CInternetInstallerDlg::OnRunProduct(IHTMLElement*) {
  const std::wstring product = m_workerContext.strInstallDir + L"T6.EXE";
  ShellExecuteW(GetSafeHwnd(), L"open", product.c_str(), nullptr, m_workerContext.strInstallDir.c_str(), SW_SHOW);
  OnCancel();
  return S_OK;
}

HRESULT CInternetInstallerDlg::OnAbandon(IHTMLElement*) {
  m_workerContext.bStop = 1;
  m_extractContext.bStop = 1;
  if (m_pWorkerThread) {
    if (m_bAskingToLeave) m_pWorkerThread->ResumeThread();  // it must run on to see the stop request
    m_bAskingToLeave = false;
    WaitForSingleObject(m_pWorkerThread->m_hThread, kAbandonWaitMs);
  }
  const std::wstring package = m_workerContext.strInstallDir + m_workerContext.strFileName;
  if (PathFileExistsW(package.c_str())) DeleteFileW(package.c_str());
  OnCancel();
  return S_OK;
}

HRESULT CInternetInstallerDlg::OnPause(IHTMLElement*) {
  if (m_bAskingToLeave) return S_OK;  // the question is open already and holds the worker
  m_bAskingToLeave = true;
  if (m_pWorkerThread) m_pWorkerThread->SuspendThread();
  return S_OK;
}

HRESULT CInternetInstallerDlg::OnContinue(IHTMLElement*) {
  if (!m_bAskingToLeave) return S_OK;
  m_bAskingToLeave = false;
  if (m_pWorkerThread) m_pWorkerThread->ResumeThread();
  return S_OK;
}
