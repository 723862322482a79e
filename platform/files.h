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

#ifndef _WIN32
// Folders, files through handles, and their times.
constexpr LONG ERROR_INVALID_NAME = 123;
constexpr DWORD GENERIC_READ = 0x80000000;
constexpr DWORD GENERIC_WRITE = 0x40000000;
constexpr DWORD FILE_SHARE_READ = 0x00000001;
constexpr DWORD FILE_SHARE_WRITE = 0x00000002;
constexpr DWORD FILE_SHARE_DELETE = 0x00000004;
constexpr DWORD CREATE_NEW = 1;
constexpr DWORD CREATE_ALWAYS = 2;
constexpr DWORD OPEN_EXISTING = 3;
constexpr DWORD OPEN_ALWAYS = 4;
constexpr DWORD TRUNCATE_EXISTING = 5;
#define INVALID_HANDLE_VALUE (reinterpret_cast<HANDLE>(static_cast<std::intptr_t>(-1)))

// Creates one folder; its parent must exist. False with ERROR_ALREADY_EXISTS when it exists.
BOOL CreateDirectoryW(LPCWSTR lpPathName, const void* lpSecurityAttributes);
// Opens or creates a file. The share mode says which other opens may coexist with this one, as
// on Windows: while a file is open with share mode 0, any other CreateFileW of it and its
// DeleteFileW fail with ERROR_SHARING_VIOLATION (within this process, on the host). A name with
// a character that Windows does not allow in file names fails with ERROR_INVALID_NAME.
// CREATE_ALWAYS over an existing file empties it and sets ERROR_ALREADY_EXISTS.
HANDLE CreateFileW(LPCWSTR lpFileName, DWORD dwDesiredAccess, DWORD dwShareMode, const void* lpSecurityAttributes,
                   DWORD dwCreationDisposition, DWORD dwFlagsAndAttributes, HANDLE hTemplateFile);
// Writes; *lpNumberOfBytesWritten says how much was taken. The host gathers small writes per
// handle (up to 64 KiB) before the system gets them, so a full disk (ERROR_DISK_FULL) may fail a
// later WriteFile or the CloseHandle: both must be checked. SetFileTime and any other open of the
// file see everything written before them.
BOOL WriteFile(HANDLE hFile, LPCVOID lpBuffer, DWORD nNumberOfBytesToWrite, LPDWORD lpNumberOfBytesWritten,
               void* lpOverlapped);
// Closes the handle; for a file, false when the last gathered writes could not be completed.
BOOL CloseHandle(HANDLE hObject);

// 100-nanosecond intervals since 1601-01-01 00:00:00.
struct FILETIME {
  DWORD dwLowDateTime;
  DWORD dwHighDateTime;
};
// A DOS date and time (2-second resolution) as a file time, without any time-zone change.
// False for a date or time that does not exist.
BOOL DosDateTimeToFileTime(WORD wFatDate, WORD wFatTime, FILETIME* lpFileTime);
// Local time to UTC with the time zone's current bias (daylight saving time as it is now, not as
// it was at that date), as Windows does. The host takes its zone from TZ or the system's setting.
BOOL LocalFileTimeToFileTime(const FILETIME* lpLocalFileTime, FILETIME* lpFileTime);
// Sets the times that are given. The host keeps last-access and last-write times; a file there
// has no settable creation time, so that one is not kept.
BOOL SetFileTime(HANDLE hFile, const FILETIME* lpCreationTime, const FILETIME* lpLastAccessTime,
                 const FILETIME* lpLastWriteTime);

// Removes the file name from a path in place ("c:\a\b.txt" gives "c:\a", "c:\b" gives "c:\");
// true when something was removed.
BOOL PathRemoveFileSpecW(LPWSTR pszPath);
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
