// Win32 platform: the framework file finder, collecting a folder's entries with the system's
// own search when the search starts.
#include <windows.h>

#include "platform/files.h"

BOOL CFileFind::FindFile(LPCWSTR pstrName, DWORD) {
  Close();
  if (!pstrName) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  const std::wstring pattern = pstrName;
  const auto split = pattern.find_last_of(L"\\/");
  WIN32_FIND_DATAW found{};
  HANDLE search = FindFirstFileW(pstrName, &found);
  if (search == INVALID_HANDLE_VALUE) return FALSE;  // the system's last error stands
  std::vector<Entry> entries;
  do {
    entries.push_back(Entry{found.cFileName, found.dwFileAttributes});
  } while (::FindNextFileW(search, &found));
  FindClose(search);
  m_entries = std::move(entries);
  m_root = split == std::wstring::npos ? std::wstring() : pattern.substr(0, split + 1);
  return TRUE;
}
