// The install location: folder picker, free space, the location check and the folder rule.
#include "install_location.h"

#include <vector>

#include "app/installer_dialog.h"
#include "pages/html_text.h"
#include "platform/files.h"
#include "platform/shell.h"
#include "environment/os_identification.h"

std::wstring SelectFolder() {
  BROWSEINFOW info{};
  info.lpszTitle = L"请选择一个文件夹：";
  info.ulFlags = BIF_RETURNONLYFSDIRS | BIF_DONTGOBELOWDOMAIN | BIF_EDITBOX | BIF_NEWDIALOGSTYLE;
  PIDLIST_ABSOLUTE item = SHBrowseForFolderW(&info);
  if (!item) return {};
  WCHAR path[MAX_PATH] = {};
  const bool hasPath = SHGetPathFromIDListW(item, path);
  CoTaskMemFree(item);
  return hasPath ? std::wstring(path) : std::wstring();
}

std::uint64_t GetRootFreeSpace(const std::wstring& folder) {
  // A longer text is no folder Windows can reach; it has no volume to ask about.
  if (folder.size() >= MAX_PATH) return 0;
  WCHAR root[MAX_PATH] = {};
  folder.copy(root, folder.size());
  PathStripToRootW(root);
  ULARGE_INTEGER available{}, total{}, free{};
  if (!GetDiskFreeSpaceExW(root, &available, &total, &free)) return 0;
  return free.QuadPart;
}

std::wstring InstallFolderFromChosen(const std::wstring& chosen) {
  std::wstring folder = chosen;
  if (folder.empty() || folder.back() != L'\\') folder += L'\\';
  if (folder.find(L"Tessaly") == std::wstring::npos) folder += L"Tessaly\\";
  return folder;
}

void CInternetInstallerDlg::UpdateSpaceInfo() {
  std::wstring folder;
  if (!GetPageElementText(L"Directry", folder) || folder.empty()) return;
  const std::uint64_t freeBytes = GetRootFreeSpace(folder);
  // An unreadable volume changes nothing: the last verdict and the "Info" line stay.
  if (freeBytes == 0) return;
  if (freeBytes >= kRequiredFreeBytes) {
    m_bLocationOk = true;
    m_strChosenDir = folder;
  } else {
    m_bLocationOk = false;
  }
  std::wstring info = L"所需磁盘空间500MB，可用磁盘空间" + std::to_wstring(freeBytes >> 20) + L"MB";
  info += L"  " + HtmlEscape(m_strOsName);
  info += IsSupportedSystem(m_nOsMajor)
              ? L" <span style='margin-left:2px;color:#0000ff'>系统支持本软件</span>"
              : L"  <span style='margin-left:2px;color:#ff0000'>系统不支持本软件</span>";
  SetPageElementHtml(L"Info", info);
}

HRESULT CInternetInstallerDlg::OnBrowse(IHTMLElement*) {
  const std::wstring folder = SelectFolder();
  if (folder.empty()) return S_OK;
  // Shown escaped, so that "&" or "<" in a folder name shows as written and is read back as
  // the same text.
  SetPageElementHtml(L"Directry", HtmlEscape(folder));
  UpdateSpaceInfo();
  return S_OK;
}
