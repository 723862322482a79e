// Platform layer: the registry calls the core makes, with the Windows names, arguments and
// ERROR_* results.
#pragma once

#include "windows_types.h"

#ifndef _WIN32
LONG RegOpenKeyExW(HKEY hKey, LPCWSTR lpSubKey, DWORD ulOptions, REGSAM samDesired, PHKEY phkResult);
LONG RegCreateKeyExW(HKEY hKey, LPCWSTR lpSubKey, DWORD Reserved, LPWSTR lpClass, DWORD dwOptions,
                     REGSAM samDesired, const void* lpSecurityAttributes, PHKEY phkResult,
                     LPDWORD lpdwDisposition);
// The old calls: the key is opened with full access; RegSetValueW sets the default value of
// lpSubKey (created when missing) to a REG_SZ text and takes its length from the text itself.
LONG RegCreateKeyW(HKEY hKey, LPCWSTR lpSubKey, PHKEY phkResult);
LONG RegSetValueW(HKEY hKey, LPCWSTR lpSubKey, DWORD dwType, LPCWSTR lpData, DWORD cbData);
LONG RegCloseKey(HKEY hKey);
LONG RegFlushKey(HKEY hKey);
// For string types the data is host wide characters (cbData counts host bytes, terminator
// included); the registry stores UTF-16LE as Windows does. Sizes that come back for strings are
// the stored UTF-16 units times sizeof(WCHAR), and a buffer takes a string when its WCHARs hold
// those units: a limit written in WCHARs admits the same values as on Windows. Key names hold at
// most 255 UTF-16 units (longer: ERROR_INVALID_PARAMETER).
LONG RegSetValueExW(HKEY hKey, LPCWSTR lpValueName, DWORD Reserved, DWORD dwType, const BYTE* lpData,
                    DWORD cbData);
LONG RegQueryValueExW(HKEY hKey, LPCWSTR lpValueName, LPDWORD lpReserved, LPDWORD lpType, LPBYTE lpData,
                      LPDWORD lpcbData);
LONG RegDeleteValueW(HKEY hKey, LPCWSTR lpValueName);
LONG RegDeleteKeyExW(HKEY hKey, LPCWSTR lpSubKey, REGSAM samDesired, DWORD Reserved);
LONG RegDeleteTreeW(HKEY hKey, LPCWSTR lpSubKey);
// lpcchName counts characters (in: buffer size, out: length without the terminator).
LONG RegEnumKeyExW(HKEY hKey, DWORD dwIndex, LPWSTR lpName, LPDWORD lpcchName, LPDWORD lpReserved,
                   LPWSTR lpClass, LPDWORD lpcchClass, void* lpftLastWriteTime);
LONG RegEnumValueW(HKEY hKey, DWORD dwIndex, LPWSTR lpValueName, LPDWORD lpcchValueName,
                   LPDWORD lpReserved, LPDWORD lpType, LPBYTE lpData, LPDWORD lpcbData);
#endif
