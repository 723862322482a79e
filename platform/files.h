// Platform layer: file system and path helpers.
#pragma once

#include <cstdint>

#include "windows_types.h"

#ifndef _WIN32
BOOL PathFileExistsW(LPCWSTR pszPath);
#endif

#ifndef _WIN32
BOOL DeleteFileW(LPCWSTR lpFileName);
#endif

#ifndef _WIN32
struct ULARGE_INTEGER {
  std::uint64_t QuadPart;
};

// Free space of the volume that holds lpDirectoryName (a root such as "C:\").
BOOL GetDiskFreeSpaceExW(LPCWSTR lpDirectoryName, ULARGE_INTEGER* lpFreeBytesAvailableToCaller,
                         ULARGE_INTEGER* lpTotalNumberOfBytes, ULARGE_INTEGER* lpTotalNumberOfFreeBytes);
// Cuts the path to its root in place ("D:\x\y" gives "D:\", "\\server\share\x" gives
// "\\server\share"); true when a root was found.
BOOL PathStripToRootW(LPWSTR pszPath);
// Appends a backslash unless present; the buffer holds MAX_PATH characters. Returns a pointer to
// the terminating NUL, or null when the result would not fit.
LPWSTR PathAddBackslashW(LPWSTR pszPath);
#endif
