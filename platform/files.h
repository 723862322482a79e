// Platform layer: file system and path helpers.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "windows_types.h"

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
  int m_fd = -1;
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
