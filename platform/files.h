// Platform layer: file system and path helpers.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "windows_types.h"

#ifdef _WIN32
#include <shlobj.h>
#include <shlwapi.h>
#endif

#ifndef _WIN32
BOOL PathFileExistsW(LPCWSTR pszPath);
#endif

#ifndef _WIN32
// Refuses a folder, a read-only file (ERROR_ACCESS_DENIED) and a path of MAX_PATH characters
// or more, as Windows does.
BOOL DeleteFileW(LPCWSTR lpFileName);

constexpr DWORD FILE_ATTRIBUTE_READONLY = 0x00000001;
constexpr DWORD FILE_ATTRIBUTE_HIDDEN = 0x00000002;
constexpr DWORD FILE_ATTRIBUTE_SYSTEM = 0x00000004;
constexpr DWORD FILE_ATTRIBUTE_DIRECTORY = 0x00000010;
constexpr DWORD FILE_ATTRIBUTE_ARCHIVE = 0x00000020;
constexpr DWORD FILE_ATTRIBUTE_NORMAL = 0x00000080;
constexpr DWORD FILE_ATTRIBUTE_REPARSE_POINT = 0x00000400;
constexpr DWORD INVALID_FILE_ATTRIBUTES = 0xFFFFFFFF;

// A link (symbolic link, junction) carries FILE_ATTRIBUTE_REPARSE_POINT, and
// FILE_ATTRIBUTE_DIRECTORY when it stands for a folder; its attributes are the link's own.
DWORD GetFileAttributesW(LPCWSTR lpFileName);
BOOL SetFileAttributesW(LPCWSTR lpFileName, DWORD dwFileAttributes);
// Removes an empty folder, or a link that stands for a folder (the link only).
BOOL RemoveDirectoryW(LPCWSTR lpPathName);
// Appends a backslash unless the path is empty or ends with one; pszPath holds MAX_PATH
// characters. Returns the address of the terminating NUL, or null when there is no room.
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

// The entries of one folder that match a search pattern ("folder\*.*"), as the framework's
// file finder reports them: "." and ".." included except at a drive's root, names matched without
// regard to case, and nothing found for a pattern of MAX_PATH characters or more. FindFile
// starts the search; each FindNextFile moves to the next entry and answers whether another
// one follows it.
class CFileFind {
 public:
  CFileFind() = default;
  ~CFileFind() = default;
  CFileFind(const CFileFind&) = delete;
  CFileFind& operator=(const CFileFind&) = delete;

  BOOL FindFile(LPCWSTR pstrName, DWORD dwUnused = 0);
  BOOL FindNextFile();
  void Close();

  BOOL IsDots() const;
  BOOL IsDirectory() const { return MatchesMask(FILE_ATTRIBUTE_DIRECTORY); }
  // True when the current entry has any of the attributes in dwMask.
  BOOL MatchesMask(DWORD dwMask) const;
  std::wstring GetFileName() const;
  // The searched folder followed by the entry's name.
  std::wstring GetFilePath() const;

 private:
  struct Entry {
    std::wstring name;
    DWORD attributes;
  };
  const Entry* Current() const;
  std::vector<Entry> m_entries;  // the folder as it was when the search started
  std::size_t m_next = 0;        // the entry FindNextFile moves to
  std::wstring m_root;           // the searched folder, ending with one backslash
};

#ifndef _WIN32
// Shortens a path to at most cchMax - 1 characters (plus the terminator) by putting an ellipsis
// in place of path components; a lone file name is cut and ends in "...".
BOOL PathCompactPathExW(LPWSTR pszOut, LPCWSTR pszSrc, UINT cchMax, DWORD dwFlags);
#endif
