// Platform layer: shell operations and the clock.
#pragma once

#include <cstdint>

#include "framework.h"
#include "windows_types.h"

#ifdef _WIN32
#include <shellapi.h>
#include <shlobj.h>
#include <time.h>
#else
// Performs operation ("open") on file. Returns a value above 32 on success, as Windows does.
// The host runs an executable file itself and hands any other file to the desktop's opener.
HINSTANCE ShellExecuteW(HWND hwnd, LPCWSTR operation, LPCWSTR file, LPCWSTR parameters, LPCWSTR directory,
                        int showCommand);

// The current time in seconds since 1970-01-01 00:00:00 UTC.
std::int64_t _time64(std::int64_t* timer);

// The folder picker.
struct ITEMIDLIST;
using PIDLIST_ABSOLUTE = ITEMIDLIST*;
using BFFCALLBACK = int (*)(HWND, UINT, LPARAM, LPARAM);
struct BROWSEINFOW {
  HWND hwndOwner;
  PIDLIST_ABSOLUTE pidlRoot;
  LPWSTR pszDisplayName;
  LPCWSTR lpszTitle;
  UINT ulFlags;
  BFFCALLBACK lpfn;
  LPARAM lParam;
  int iImage;
};
constexpr UINT BIF_RETURNONLYFSDIRS = 0x0001;
constexpr UINT BIF_DONTGOBELOWDOMAIN = 0x0002;
constexpr UINT BIF_EDITBOX = 0x0010;
constexpr UINT BIF_NEWDIALOGSTYLE = 0x0040;

// Shows a modal folder picker; null when the user cancels.
PIDLIST_ABSOLUTE SHBrowseForFolderW(BROWSEINFOW* lpbi);
// The file-system path of an item into a MAX_PATH buffer; false for an item without one.
BOOL SHGetPathFromIDListW(PIDLIST_ABSOLUTE pidl, LPWSTR pszPath);
void CoTaskMemFree(void* pv);

#endif

#ifndef _WIN32
// Special folders of the machine.
constexpr int CSIDL_COMMON_PROGRAMS = 0x0017;
constexpr int CSIDL_COMMON_DESKTOPDIRECTORY = 0x0019;
// The item list of a special folder, freed with CoTaskMemFree; E_INVALIDARG for an identifier
// the system does not know, a failure HRESULT for a folder the machine does not have.
HRESULT SHGetSpecialFolderLocation(HWND hwnd, int csidl, PIDLIST_ABSOLUTE* ppidl);

// Shell file operations; only deletion is used.
using FILEOP_FLAGS = WORD;
struct SHFILEOPSTRUCTW {
  HWND hwnd;
  UINT wFunc;
  LPCWSTR pFrom;  // the items: each ends with a NUL, the list with a second one
  LPCWSTR pTo;
  FILEOP_FLAGS fFlags;
  BOOL fAnyOperationsAborted;
  LPVOID hNameMappings;
  LPCWSTR lpszProgressTitle;
};
constexpr UINT FO_DELETE = 0x0003;
constexpr FILEOP_FLAGS FOF_SILENT = 0x0004;
constexpr FILEOP_FLAGS FOF_NOCONFIRMATION = 0x0010;
constexpr FILEOP_FLAGS FOF_ALLOWUNDO = 0x0040;
constexpr FILEOP_FLAGS FOF_NOERRORUI = 0x0400;

// FO_DELETE removes every listed file and folder, a folder with all it holds; links are removed,
// not followed. Returns 0 when every item is gone; a missing item, or one that stays, fails
// with a nonzero code. The host has no recycle bin: items always go for good.
int SHFileOperationW(SHFILEOPSTRUCTW* lpFileOp);
#endif
