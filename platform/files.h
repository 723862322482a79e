// Platform layer: file system and path helpers.
#pragma once

#include <cstdint>
#include <string>

#include "windows_types.h"

#ifdef _WIN32
#include <shlobj.h>
#include <shlwapi.h>
#endif

#ifndef _WIN32
BOOL PathFileExistsW(LPCWSTR pszPath);
#endif

#ifndef _WIN32
BOOL DeleteFileW(LPCWSTR lpFileName);
// Appends a backslash to the path in its MAX_PATH buffer unless it ends with one or is empty;
// returns the address of the terminator, or null when the backslash would not fit.
LPWSTR PathAddBackslashW(LPWSTR pszPath);
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
#endif

// Local files, and the last error of the calling thread.
#ifndef _WIN32
DWORD GetLastError();
void SetLastError(DWORD error);
constexpr DWORD FORMAT_MESSAGE_IGNORE_INSERTS = 0x00000200;
constexpr DWORD FORMAT_MESSAGE_FROM_SYSTEM = 0x00001000;
// The system's message text for an error code into buffer (size in characters); returns its
// length, 0 when there is none.
DWORD FormatMessageW(DWORD flags, LPCVOID source, DWORD messageId, DWORD languageId, LPWSTR buffer, DWORD size,
                     void* arguments);
// Creates the folder and every missing parent; ERROR_SUCCESS or the error.
int SHCreateDirectoryExW(HWND hwnd, LPCWSTR pszPath, const void* psa);
#endif

// A local file, opened for writing. Writes gather in a buffer of the platform's and reach the
// file in large pieces; Close writes what is left and says whether everything arrived.
class CFile {
 public:
  enum OpenFlags : UINT {
    modeWrite = 0x0001,
    shareExclusive = 0x0010,
    modeCreate = 0x1000,
    typeBinary = 0x8000,
  };
  CFile() = default;
  ~CFile();
  CFile(const CFile&) = delete;
  CFile& operator=(const CFile&) = delete;

  // False (and the error in GetLastError) when the file cannot be opened.
  BOOL Open(LPCWSTR fileName, UINT openFlags);
  // False (and the error in GetLastError) when not everything could be written.
  BOOL Write(const void* buffer, UINT count);
  // False (and the error in GetLastError) when the last writes could not be completed.
  BOOL Close();

 private:
  BOOL Flush();
#ifdef _WIN32
  HANDLE m_hFile = INVALID_HANDLE_VALUE;
#else
  int m_fd = -1;
#endif
  std::string m_pending;
};

#ifndef _WIN32
// Shortens a path to at most cchMax - 1 characters (plus the terminator) by putting an ellipsis
// in place of path components; a lone file name is cut and ends in "...".
BOOL PathCompactPathExW(LPWSTR pszOut, LPCWSTR pszSrc, UINT cchMax, DWORD dwFlags);
#endif
