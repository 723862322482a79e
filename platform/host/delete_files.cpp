// Host platform: file attributes, folder removal and the shell's deletion.
#include <ftw.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cwchar>
#include <string>

#include "errors.h"
#include "file_handles.h"
#include "file_paths.h"
#include "platform/files.h"
#include "platform/shell.h"

namespace {

constexpr mode_t kWriteBits = S_IWUSR | S_IWGRP | S_IWOTH;

bool Fail(DWORD error) {
  SetLastError(error);
  return false;
}

// Set when an entry of a folder being emptied stays.
thread_local bool t_entryStayed = false;

// Removes one entry of a folder being emptied; links are removed themselves. A file in use
// stays, and so do the folders above it; the rest still goes.
int RemoveEntry(const char* path, const struct stat*, int type, FTW*) {
  const bool removed = type == FTW_DP ? rmdir(path) == 0
                                      : !host::FileHeldAgainstDeletion(path) && unlink(path) == 0;
  if (!removed) t_entryStayed = true;
  return 0;
}

// One item of a shell deletion: a file, a link, or a folder with everything in it.
DWORD DeleteItem(LPCWSTR item) {
  std::string hostPath;
  if (!host::HostFilePath(item, hostPath)) return GetLastError();
  const DWORD attributes = host::HostFileAttributes(hostPath);
  if (attributes == INVALID_FILE_ATTRIBUTES) return ERROR_FILE_NOT_FOUND;
  const bool folder = (attributes & FILE_ATTRIBUTE_DIRECTORY) && !(attributes & FILE_ATTRIBUTE_REPARSE_POINT);
  if (!folder) {
    if (host::FileHeldAgainstDeletion(hostPath)) return ERROR_SHARING_VIOLATION;
    return unlink(hostPath.c_str()) == 0 ? ERROR_SUCCESS : host::ErrorFromErrno(errno);
  }
  // Depth first and without following links: a link inside goes, what it leads to stays.
  t_entryStayed = false;
  if (nftw(hostPath.c_str(), RemoveEntry, 16, FTW_DEPTH | FTW_PHYS) != 0) return host::ErrorFromErrno(errno);
  return t_entryStayed ? ERROR_ACCESS_DENIED : ERROR_SUCCESS;
}

}  // namespace

DWORD GetFileAttributesW(LPCWSTR lpFileName) {
  std::string hostPath;
  if (!host::HostFilePath(lpFileName, hostPath)) return INVALID_FILE_ATTRIBUTES;
  const DWORD attributes = host::HostFileAttributes(hostPath);
  if (attributes == INVALID_FILE_ATTRIBUTES) SetLastError(ERROR_FILE_NOT_FOUND);
  return attributes;
}

BOOL SetFileAttributesW(LPCWSTR lpFileName, DWORD dwFileAttributes) {
  std::string hostPath;
  if (!host::HostFilePath(lpFileName, hostPath)) return FALSE;
  struct stat info {};
  if (lstat(hostPath.c_str(), &info) != 0) return Fail(ERROR_FILE_NOT_FOUND);
  // Only the read-only attribute has a counterpart here, a file's write permission; a link
  // and a folder keep their permissions.
  if (!S_ISREG(info.st_mode)) return TRUE;
  mode_t mode = info.st_mode & 07777;
  if (dwFileAttributes & FILE_ATTRIBUTE_READONLY) mode &= ~kWriteBits;
  else if ((mode & kWriteBits) == 0) mode |= S_IWUSR;
  if (mode != (info.st_mode & 07777) && chmod(hostPath.c_str(), mode) != 0) return Fail(host::ErrorFromErrno(errno));
  return TRUE;
}

BOOL RemoveDirectoryW(LPCWSTR lpPathName) {
  std::string hostPath;
  if (!host::HostFilePath(lpPathName, hostPath)) return FALSE;
  const DWORD attributes = host::HostFileAttributes(hostPath);
  if (attributes == INVALID_FILE_ATTRIBUTES) return Fail(ERROR_FILE_NOT_FOUND);
  if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) return Fail(ERROR_DIRECTORY);
  // A link that stands for a folder is removed itself; the folder it leads to stays.
  if (attributes & FILE_ATTRIBUTE_REPARSE_POINT)
    return unlink(hostPath.c_str()) == 0 ? TRUE : Fail(host::ErrorFromErrno(errno));
  if (rmdir(hostPath.c_str()) == 0) return TRUE;
  return Fail(errno == ENOTEMPTY || errno == EEXIST ? ERROR_DIR_NOT_EMPTY : host::ErrorFromErrno(errno));
}

int SHFileOperationW(SHFILEOPSTRUCTW* lpFileOp) {
  if (!lpFileOp || lpFileOp->wFunc != FO_DELETE || !lpFileOp->pFrom || !*lpFileOp->pFrom)
    return ERROR_INVALID_PARAMETER;
  lpFileOp->fAnyOperationsAborted = FALSE;
  DWORD result = ERROR_SUCCESS;
  // Every item is attempted; the result is the first failure.
  for (LPCWSTR item = lpFileOp->pFrom; *item; item += std::wcslen(item) + 1) {
    const DWORD error = DeleteItem(item);
    if (result == ERROR_SUCCESS) result = error;
  }
  return static_cast<int>(result);
}
