// Platform layer: loading libraries and finding their entry points, and the program's own file.
#pragma once

#include "windows_types.h"

#ifndef _WIN32
struct HINSTANCE__;
using HINSTANCE = HINSTANCE__*;
using HMODULE = HINSTANCE;
using FARPROC = void (*)();
constexpr LONG ERROR_MOD_NOT_FOUND = 126;
constexpr LONG ERROR_PROC_NOT_FOUND = 127;

// Loads a library by its Windows path (a shared object on the host); null on failure. Loading
// the same file again gives the same handle and counts one more reference.
HMODULE LoadLibraryW(LPCWSTR lpLibFileName);
// The exported function of that name; null when the library has none.
FARPROC GetProcAddress(HMODULE hModule, const char* lpProcName);
// Drops one reference; the library is unloaded with the last.
BOOL FreeLibrary(HMODULE hLibModule);
// The Windows path of the program file (hModule null) or of a loaded library into the buffer
// (nSize characters, terminator included); returns its length, or nSize when it was cut to fit
// (then with ERROR_INSUFFICIENT_BUFFER), 0 on failure. On the host a file outside the emulated
// machine's drives is named on drive Z:, which stands for the host's root folder.
DWORD GetModuleFileNameW(HMODULE hModule, LPWSTR lpFilename, DWORD nSize);
#endif
