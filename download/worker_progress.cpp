// The worker progress message: what each worker report changes on the page.
#include <cstdio>
#include <string>
#include <vector>

#include "app/installer_dialog.h"
#include "install/install_steps.h"
#include "pages/html_text.h"
#include "platform/files.h"
#include "resources/resource_ids.h"

namespace {

std::wstring Format(const wchar_t* format, auto... values) {
  wchar_t text[1024];
  std::swprintf(text, 1024, format, values...);
  return text;
}

std::wstring SystemMessage(DWORD error) {
  WCHAR text[256] = {};
  FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error, 0, text, 256, nullptr);
  return text;
}

std::wstring Compact(const std::wstring& path, UINT maxChars) {
  std::vector<WCHAR> shortened(std::max<std::size_t>(maxChars, path.size() + 1), L'\0');
  PathCompactPathExW(shortened.data(), path.c_str(), maxChars, 0);
  return shortened.data();
}

}  // namespace

LRESULT CInternetInstallerDlg::OnWorkerProgress(WPARAM wParam, LPARAM) {
  switch (wParam) {
    case kDownloadProgress: ShowDownloadProgress(); break;
    case kDownloadFailed: ShowDownloadFailure(); break;
    case kDownloadComplete: StartInstallWorker(); break;
    case kExtractEntry: ShowExtractProgress(); break;
    case kFileDeleted: ShowDeleteProgress(); break;
    case kInstallFinished: LoadFromResource(IDR_HTML_INSTALLED); break;
    case kExtractFailed: ShowExtractFailure(); break;
    default: break;  // nobody sends other codes
  }
  return 0;
}

void CInternetInstallerDlg::ShowDownloadProgress() {
  // Cleared before the figures are read: figures written after this get a report of their own.
  m_workerContext.bProgressQueued = 0;
  const LONG progress = m_workerContext.nProgress;
  SetPageElementHtml(L"DownloadInfo",
                     Format(L"%d%% %luKB/秒 [%.0fKB/%.0fKB]", static_cast<int>(progress),
                            static_cast<unsigned long>(m_workerContext.nSpeed.load()),
                            static_cast<double>(m_workerContext.fDone), static_cast<double>(m_workerContext.fTotal)));
  CallPageFunction(L"setProgress", {std::to_wstring(progress)}, nullptr);
}

void CInternetInstallerDlg::ShowDownloadFailure() {
  // The error text comes from outside (the server's or the system's words): shown as text.
  CallPageFunction(L"showAlert",
                   {L"发生错误:" + HtmlEscape(m_workerContext.szError) + L"<p>请确认网络正常后再试一次</p>"}, nullptr);
}

void CInternetInstallerDlg::ShowExtractProgress() {
  std::wstring entry;
  {
    std::lock_guard guard(m_extractContext.entryLock);
    entry = m_extractContext.strCurrentEntry;
  }
  const LONG total = m_extractContext.nTotal;
  const LONG percent = total > 0 ? m_extractContext.nDone * 100 / total : 0;
  CallPageFunction(L"setProgress", {std::to_wstring(percent)}, nullptr);
  SetPageElementHtml(L"ExtractInfo",
                     Format(L"正在安装：[%d%%] ", static_cast<int>(percent)) + HtmlEscape(Compact(entry, 55)));
}

void CInternetInstallerDlg::ShowDeleteProgress() {
  const int shown = DeletePercent(m_workerContext.nProgress, m_workerContext.fTotal);
  // Counted by the worker already; a newer report, or the last one, redraws the page.
  if (m_workerContext.bQuietReport && shown != 100) return;
  SetPageElementHtml(L"DeleteInfo",
                     Format(L"正在删除：[%d%%] ", shown) + HtmlEscape(Compact(m_workerContext.strFileName, 60)));
  CallPageFunction(L"setProgress", {std::to_wstring(shown)}, nullptr);
  if (shown == 100) LoadFromResource(IDR_HTML_REMOVED);
}

void CInternetInstallerDlg::StartInstallWorker() {
  m_pWorkerThread = AfxBeginThread(InstallThreadProc, this, THREAD_PRIORITY_NORMAL, 0, 0, nullptr);
  // The leave question may still be open from the download's last moments: it holds this worker
  // too (at its next checkpoint), and "取消" lets it go on.
  if (m_pWorkerThread && m_bAskingToLeave) m_pWorkerThread->SuspendThread();
}

void CInternetInstallerDlg::ShowExtractFailure() {
  ExtractFailure failure;
  std::wstring item;
  DWORD error;
  {
    std::lock_guard guard(m_extractContext.entryLock);
    failure = m_extractContext.nFailure;
    item = m_extractContext.strFailedItem;
    error = m_extractContext.nFailureError;
  }
  if (item.empty()) item = m_workerContext.strFileName;
  // The names come from the package and the texts from the system: shown as text. The alert's
  // button ends the installer; nothing retries.
  std::wstring text;
  if (failure == kCannotWrite) {
    text = L"无法写入文件：" + HtmlEscape(item) + L"<p>" + HtmlEscape(SystemMessage(error)) + L"</p>";
  } else {
    text = L"安装包已损坏，无法解压：" + HtmlEscape(item) + L"<p>请重新运行安装程序再试一次</p>";
  }
  CallPageFunction(L"showAlert", {text}, nullptr);
}
