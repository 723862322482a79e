// The installer dialog: construction, initialisation and the start-up mode decision.
#include "installer_dialog.h"

#include "environment/os_identification.h"
#include "install/installation_record.h"
#include "platform/files.h"
#include "resources/resource_ids.h"

CInternetInstallerDlg::CInternetInstallerDlg() : CDHtmlDialog(IDD_INSTALLER_DIALOG, IDR_HTML_INSTALL_START, nullptr) {
  m_hIcon = AfxGetApp() ? AfxGetApp()->LoadIcon(IDI_INSTALLER) : nullptr;
  // Set here rather than at the end of OnInitDialog: the first page may report itself loaded
  // before initialisation ends (a message box there runs the message loop), and its handler
  // reads these.
  m_strChosenDir = kDefaultInstallDir;
  m_nOsMajor = IdentifyOperatingSystem(m_strOsName);
}

CInternetInstallerDlg::~CInternetInstallerDlg() = default;

bool CInternetInstallerDlg::FindEarlierInstallation() {
  HKEY key = nullptr;
  if (!OpenRecordKey(HKEY_LOCAL_MACHINE, kRecordKeyPath, key)) return false;
  std::wstring path;
  bool exists = false;
  if (QueryRecordString(path, key, L"Path")) {
    exists = PathFileExistsW(path.c_str()) != FALSE;
    if (!exists) {
      AfxMessageBox(L"你安装过TessalyT6系统，但安装位置出现异常，接下来将会重新安装TessalyT6",
                    MB_OK | MB_ICONEXCLAMATION, 0);
    }
  }
  CloseRecordKey(key);
  return exists;
}

BOOL CInternetInstallerDlg::OnInitDialog() {
  CDHtmlDialog::OnInitDialog();  // creates the web view and starts loading page 132
  SetWindowText(L"TessalyT6安装向导");
  m_bLocationOk = false;

  const std::wstring& arguments = AfxGetApp()->m_strCmdLine;
  // A plain, case-sensitive search: "-u", "/u" and "update" all mean uninstall, "-U" does not.
  const bool uninstall = arguments.find(L'u') != std::wstring::npos;
  if (uninstall || FindEarlierInstallation()) LoadFromResource(IDR_HTML_REMOVE_OFFER);

  m_nWindowWidth = 604;
  SetWindowShape(386);
  SendMessage(WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_hIcon));
  SendMessage(WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_hIcon));

  m_pWorkerThread = nullptr;
  m_workerContext.hWnd = GetSafeHwnd();
  m_workerContext.strUrl.clear();
  if (HINSTANCE module = AfxFindStringResourceHandle(IDS_PACKAGE_URL)) {
    WCHAR url[2048] = {};
    if (LoadStringW(module, IDS_PACKAGE_URL, url, 2048) > 0) m_workerContext.strUrl = url;
  }
  m_workerContext.strInstallDir = kDefaultInstallDir;
  m_workerContext.strFileName = kPackageFileName;
  m_workerContext.bStop = 0;
  m_extractContext.uMsg = WM_WORKER_PROGRESS;
  m_extractContext.hWnd = GetSafeHwnd();
  m_extractContext.nCode = kExtractEntry;
  m_extractContext.bStop = 0;
  m_bAccepted = 1;
  m_strChosenDir = kDefaultInstallDir;
  // m_nOsMajor and m_strOsName were settled at construction: the system does not change.
  return TRUE;
}

bool CInternetInstallerDlg::WorkerRunning() const {
  return m_pWorkerThread && WaitForSingleObject(m_pWorkerThread->m_hThread, 0) == WAIT_TIMEOUT;
}

LRESULT CInternetInstallerDlg::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_WORKER_PROGRESS) return OnWorkerProgress(wParam, lParam);
  return CDHtmlDialog::WindowProc(message, wParam, lParam);
}
