// Host platform: file system calls on the emulated machine's drive folders.
#include "platform/files.h"

#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <cwchar>
#include <cwctype>
#include <string>

#include "emulated_machine.h"
#include "errors.h"
#include "file_handles.h"
#include "file_paths.h"

namespace host {

bool HostFilePath(LPCWSTR windowsPath, std::string& hostPath) {
  if (!windowsPath) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return false;
  }
  // Without long-path support every file call refuses a path that does not fit MAX_PATH.
  if (std::wcslen(windowsPath) >= MAX_PATH) {
    SetLastError(ERROR_FILENAME_EXCED_RANGE);
    return false;
  }
  auto mapped = HostPathFromWindows(windowsPath);
  if (!mapped) {
    SetLastError(ERROR_PATH_NOT_FOUND);
    return false;
  }
  hostPath = std::move(*mapped);
  return true;
}

DWORD HostFileAttributes(const std::string& hostPath) {
  struct stat info {};
  if (lstat(hostPath.c_str(), &info) != 0) return INVALID_FILE_ATTRIBUTES;
  if (S_ISLNK(info.st_mode)) {
    struct stat target {};
    const bool folder = stat(hostPath.c_str(), &target) == 0 && S_ISDIR(target.st_mode);
    return FILE_ATTRIBUTE_REPARSE_POINT | (folder ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_ARCHIVE);
  }
  if (S_ISDIR(info.st_mode)) return FILE_ATTRIBUTE_DIRECTORY;
  const bool readOnly = (info.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0;
  return FILE_ATTRIBUTE_ARCHIVE | (readOnly ? FILE_ATTRIBUTE_READONLY : 0);
}

}  // namespace host

BOOL PathFileExistsW(LPCWSTR pszPath) {
  if (!pszPath) return FALSE;
  auto hostPath = host::HostPathFromWindows(pszPath);
  struct stat info {};
  return hostPath && stat(hostPath->c_str(), &info) == 0 ? TRUE : FALSE;
}

BOOL DeleteFileW(LPCWSTR lpFileName) {
  auto fail = [](DWORD error) {
    SetLastError(error);
    return FALSE;
  };
  std::string hostPath;
  if (!host::HostFilePath(lpFileName, hostPath)) return FALSE;
  const DWORD attributes = host::HostFileAttributes(hostPath);
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    // A missing file in an existing folder is "file not found"; a missing folder on the way is
    // "path not found", as Windows tells them apart.
    const std::string parent = hostPath.substr(0, hostPath.find_last_of('/'));
    struct stat folder {};
    return fail(stat(parent.c_str(), &folder) == 0 && S_ISDIR(folder.st_mode) ? ERROR_FILE_NOT_FOUND
                                                                                : ERROR_PATH_NOT_FOUND);
  }
  // Files only, as on Windows: a folder (or a link to one) is not deleted by this call, and
  // a read-only file is refused until its attribute is cleared.
  if (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY)) return fail(ERROR_ACCESS_DENIED);
  // A file that this process holds open without delete sharing stays, as on Windows.
  if (host::FileHeldAgainstDeletion(hostPath)) return fail(ERROR_SHARING_VIOLATION);
  if (unlink(hostPath.c_str()) != 0) return fail(host::ErrorFromErrno(errno));
  return TRUE;
}

BOOL CreateDirectoryW(LPCWSTR lpPathName, const void*) {
  auto hostPath = lpPathName ? host::HostPathFromWindows(lpPathName) : std::nullopt;
  if (!hostPath) {
    SetLastError(ERROR_PATH_NOT_FOUND);
    return FALSE;
  }
  if (!host::ValidWindowsName(lpPathName)) {
    SetLastError(ERROR_INVALID_NAME);
    return FALSE;
  }
  if (mkdir(hostPath->c_str(), 0755) != 0) {
    SetLastError(errno == ENOENT ? ERROR_PATH_NOT_FOUND : host::ErrorFromErrno(errno));
    return FALSE;
  }
  return TRUE;
}

BOOL PathRemoveFileSpecW(LPWSTR pszPath) {
  if (!pszPath || !*pszPath) return FALSE;
  std::wstring path = pszPath;
  // The root stays: "c:\" and "\\server\share" have no file name to remove.
  std::size_t rootEnd = 0;
  if (path.size() >= 2 && path[1] == L':') rootEnd = path.size() >= 3 && path[2] == L'\\' ? 3 : 2;
  else if (!path.empty() && path[0] == L'\\') rootEnd = 1;
  const std::size_t slash = path.rfind(L'\\');
  std::wstring result;
  if (slash == std::wstring::npos || slash < rootEnd) result = path.substr(0, rootEnd);
  else result = path.substr(0, slash);
  const bool changed = result != path;
  std::wcscpy(pszPath, result.c_str());
  return changed ? TRUE : FALSE;
}

LPWSTR PathAddBackslashW(LPWSTR pszPath) {
  if (!pszPath) return nullptr;
  std::size_t length = std::wcslen(pszPath);
  if (length > 0 && pszPath[length - 1] != L'\\') {
    if (length + 1 >= MAX_PATH) return nullptr;
    pszPath[length++] = L'\\';
    pszPath[length] = L'\0';
  }
  return pszPath + length;
}

BOOL GetDiskFreeSpaceExW(LPCWSTR lpDirectoryName, ULARGE_INTEGER* lpFreeBytesAvailableToCaller,
                         ULARGE_INTEGER* lpTotalNumberOfBytes, ULARGE_INTEGER* lpTotalNumberOfFreeBytes) {
  if (!lpDirectoryName) return FALSE;
  const std::wstring path = lpDirectoryName;
  if (path.size() < 2 || path[1] != L':' || !std::iswalpha(path[0]) || path[0] > 0x7F) return FALSE;
  auto hostPath = host::HostPathFromWindows(path);
  struct statvfs volume {};
  // A drive exists when its folder does; the machine description may set its free space.
  if (!hostPath || statvfs(hostPath->c_str(), &volume) != 0) return FALSE;
  const char drive = static_cast<char>(std::tolower(static_cast<int>(path[0])));
  std::uint64_t total = static_cast<std::uint64_t>(volume.f_blocks) * volume.f_frsize;
  std::uint64_t free = static_cast<std::uint64_t>(volume.f_bfree) * volume.f_frsize;
  std::uint64_t available = static_cast<std::uint64_t>(volume.f_bavail) * volume.f_frsize;
  auto override = host::Machine().freeBytes.find(drive);
  if (override != host::Machine().freeBytes.end()) {
    free = available = override->second;
    total = std::max(total, free);
  }
  if (lpFreeBytesAvailableToCaller) lpFreeBytesAvailableToCaller->QuadPart = available;
  if (lpTotalNumberOfBytes) lpTotalNumberOfBytes->QuadPart = total;
  if (lpTotalNumberOfFreeBytes) lpTotalNumberOfFreeBytes->QuadPart = free;
  return TRUE;
}

BOOL PathStripToRootW(LPWSTR pszPath) {
  if (!pszPath) return FALSE;
  std::wstring path = pszPath;
  std::wstring root;
  if (path.size() >= 2 && path[1] == L':') {
    root = path.substr(0, path.size() >= 3 && path[2] == L'\\' ? 3 : 2);
  } else if (path.rfind(L"\\\\", 0) == 0) {
    // \\server\share: up to the backslash after the share name.
    auto server = path.find(L'\\', 2);
    auto share = server == std::wstring::npos ? server : path.find(L'\\', server + 1);
    root = path.substr(0, share);
  } else if (!path.empty() && path[0] == L'\\') {
    root = L"\\";
  }
  std::wcscpy(pszPath, root.c_str());
  return root.empty() ? FALSE : TRUE;
}
