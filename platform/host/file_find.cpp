// Host platform: the framework's file finder over a folder of the emulated machine's drives.
#include <dirent.h>

#include <algorithm>
#include <cwctype>
#include <string>

#include "file_paths.h"
#include "platform/files.h"
#include "text.h"

namespace {

wchar_t Upper(wchar_t c) { return static_cast<wchar_t>(std::towupper(static_cast<wint_t>(c))); }

// Wildcards of a search pattern: "*" any run of characters, "?" any one; letters match
// without regard to case.
bool MatchesWildcards(const wchar_t* mask, const wchar_t* name) {
  for (; *mask; ++mask, ++name) {
    if (*mask == L'*') {
      while (mask[1] == L'*') ++mask;
      for (const wchar_t* rest = name;; ++rest) {
        if (MatchesWildcards(mask + 1, rest)) return true;
        if (!*rest) return false;
      }
    }
    if (!*name || (*mask != L'?' && Upper(*mask) != Upper(*name))) return false;
  }
  return !*name;
}

bool MatchesPattern(const std::wstring& mask, const std::wstring& name) {
  // "*.*" is every name, with an extension or without, as are masks ending in ".*" for the
  // part before the dot.
  if (mask == L"*" || mask == L"*.*") return true;
  if (MatchesWildcards(mask.c_str(), name.c_str())) return true;
  return mask.size() > 2 && mask.compare(mask.size() - 2, 2, L".*") == 0 &&
         MatchesWildcards(mask.substr(0, mask.size() - 2).c_str(), name.c_str());
}

// NTFS hands out a folder's names in the order of their upper-case forms.
bool ComesBefore(const std::wstring& a, const std::wstring& b) {
  return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(),
                                      [](wchar_t x, wchar_t y) { return Upper(x) < Upper(y); });
}

bool IsDotsName(const std::wstring& name) { return name == L"." || name == L".."; }

}  // namespace

BOOL CFileFind::FindFile(LPCWSTR pstrName, DWORD) {
  Close();
  if (!pstrName) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  const std::wstring pattern = pstrName;
  if (pattern.size() >= MAX_PATH) {
    SetLastError(ERROR_FILENAME_EXCED_RANGE);
    return FALSE;
  }
  const auto split = pattern.find_last_of(L"\\/");
  if (split == std::wstring::npos || split + 1 == pattern.size()) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return FALSE;
  }
  const std::wstring mask = pattern.substr(split + 1);
  std::wstring folder = pattern.substr(0, split + 1);
  // "folder\\*.*" searches "folder": the separator doubled by a caller is one.
  while (folder.size() > 1 && (folder[folder.size() - 2] == L'\\' || folder[folder.size() - 2] == L'/'))
    folder.pop_back();
  folder.back() = L'\\';
  std::string hostFolder;
  if (!host::HostFilePath(folder.c_str(), hostFolder)) return FALSE;
  DIR* handle = opendir(hostFolder.c_str());
  if (!handle) {
    SetLastError(ERROR_PATH_NOT_FOUND);
    return FALSE;
  }
  // A drive's root ("c:\") has no "." and "..".
  const bool driveRoot = folder.size() == 3 && folder[1] == L':';
  std::vector<Entry> entries;
  while (dirent* entry = readdir(handle)) {
    std::wstring name = host::WideFromUtf8(entry->d_name);
    const bool dots = IsDotsName(name);
    if ((dots && driveRoot) || !MatchesPattern(mask, name)) continue;
    const DWORD attributes =
        dots ? FILE_ATTRIBUTE_DIRECTORY : host::HostFileAttributes(hostFolder + "/" + entry->d_name);
    if (attributes == INVALID_FILE_ATTRIBUTES) continue;  // gone since the folder was read
    entries.push_back(Entry{std::move(name), attributes});
  }
  closedir(handle);
  std::sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) {
    if (IsDotsName(a.name) != IsDotsName(b.name)) return IsDotsName(a.name);
    return ComesBefore(a.name, b.name);
  });
  if (entries.empty()) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return FALSE;
  }
  m_entries = std::move(entries);
  m_root = folder;
  return TRUE;
}
