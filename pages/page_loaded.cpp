// The page-loaded handler: what happens when a page has finished loading.
#include <string>

#include "app/installer_dialog.h"
#include "download/download_worker.h"
#include "install/installation_record.h"
#include "platform/registry.h"
#include "platform/shell.h"

namespace {
// The last component of a page address: the page id in decimal for the program's pages.
std::wstring PageName(const std::wstring& address) {
  const auto slash = address.find_last_of(L"/\\");
  return slash == std::wstring::npos ? address : address.substr(slash + 1);
}

constexpr std::int64_t kSecondsPerDay = 86400;
}  // namespace

void CInternetInstallerDlg::OnDocumentComplete(LPCWSTR url) {
  CDHtmlDialog::OnDocumentComplete(url);
  const std::wstring page = PageName(url ? url : L"");
  if (page == L"132") {
    UpdateSpaceInfo();
  } else if (page == L"134") {
    SetWindowShape(385);
    // Two workers on one record would write one file twice: a download still running keeps it.
    if (!WorkerRunning())
      m_pWorkerThread = AfxBeginThread(DownloadThreadProc, &m_workerContext, THREAD_PRIORITY_NORMAL, 0, 0, nullptr);
  } else if (page == L"129") {
    ShowDaysOfUse();
  }
}

void CInternetInstallerDlg::ShowDaysOfUse() {
  HKEY key = nullptr;
  if (!OpenRecordKey(HKEY_LOCAL_MACHINE, kRecordKeyPath, key)) return;
  DWORD installTick = 0;
  DWORD size = sizeof installTick;
  DWORD type = 0;
  // The value's type is not looked at; a value longer than four bytes does not fit and fails.
  if (RegQueryValueExW(key, L"InstallTick", nullptr, &type, reinterpret_cast<LPBYTE>(&installTick), &size) ==
      ERROR_SUCCESS) {
    // Signed: a clock set back before the installation gives 0 within a day, then negative days.
    const std::int64_t days = (_time64(nullptr) - static_cast<std::int64_t>(installTick)) / kSecondsPerDay;
    SetPageElementHtml(L"UseDay", std::to_wstring(days));
  }
  CloseRecordKey(key);
}
