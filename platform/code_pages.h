// Platform layer: conversions between wide text and the 8-bit code pages (the system's ANSI
// code page and UTF-8).
#pragma once

#include "windows_types.h"

#ifndef _WIN32
using LPSTR = char*;
using LPCSTR = const char*;
using LPBOOL = BOOL*;

constexpr UINT CP_ACP = 0;  // the system's ANSI code page (the emulated machine's, on the host)
constexpr UINT CP_UTF8 = 65001;
constexpr DWORD MB_ERR_INVALID_CHARS = 0x00000008;
constexpr LONG ERROR_NO_UNICODE_TRANSLATION = 1113;

// As on Windows: a length of -1 means "up to and including the terminating NUL"; a result
// buffer size of 0 asks for the size needed. Returns the number of units written (or needed),
// 0 on failure with the error in GetLastError. A character that the code page lacks becomes the
// default character ("?"), and *lpUsedDefaultChar, when given, says whether that happened.
int WideCharToMultiByte(UINT CodePage, DWORD dwFlags, LPCWSTR lpWideCharStr, int cchWideChar, LPSTR lpMultiByteStr,
                        int cbMultiByte, LPCSTR lpDefaultChar, LPBOOL lpUsedDefaultChar);
// Bytes that are no character of the code page become U+FFFD (UTF-8) or "?" (other code pages),
// unless MB_ERR_INVALID_CHARS asks for failure with ERROR_NO_UNICODE_TRANSLATION.
int MultiByteToWideChar(UINT CodePage, DWORD dwFlags, LPCSTR lpMultiByteStr, int cbMultiByte, LPWSTR lpWideCharStr,
                        int cchWideChar);
UINT GetACP();
#endif
