// Host platform: file system calls on the emulated machine's drive folders.
#include "platform/files.h"

#include <sys/stat.h>
#include <unistd.h>

#include "emulated_machine.h"

BOOL PathFileExistsW(LPCWSTR pszPath) {
  if (!pszPath) return FALSE;
  auto hostPath = host::HostPathFromWindows(pszPath);
  struct stat info {};
  return hostPath && stat(hostPath->c_str(), &info) == 0 ? TRUE : FALSE;
}

BOOL DeleteFileW(LPCWSTR lpFileName) {
  if (!lpFileName) return FALSE;
  auto hostPath = host::HostPathFromWindows(lpFileName);
  struct stat info {};
  // Files only, as on Windows: a folder is not deleted by this call.
  if (!hostPath || lstat(hostPath->c_str(), &info) != 0 || S_ISDIR(info.st_mode)) return FALSE;
  return unlink(hostPath->c_str()) == 0 ? TRUE : FALSE;
}
