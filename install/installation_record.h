// The installation record: one registry key under HKEY_LOCAL_MACHINE that says where the
// product was installed, when, and what was registered for it.
#pragma once

#include <string>

#include "platform/windows_types.h"

inline constexpr const WCHAR* kRecordKeyPath = L"Software\\Halvexo\\TessalyT6";

// The access mask of every record access: full access, in the 64-bit view when the program (a
// 32-bit process) runs on 64-bit Windows. Evaluated anew at each access.
REGSAM RecordAccessMask();

// Opens subKey (or root itself when subKey is null) with the record's access mask. On failure
// key is null and the result false.
bool OpenRecordKey(HKEY root, LPCWSTR subKey, HKEY& key);
// Reads a string value of at most 511 characters; the value's type is not examined. On failure
// text is empty and the result false.
bool QueryRecordString(std::wstring& text, HKEY key, LPCWSTR valueName);
// Closes the key, sets it to null and returns RegCloseKey's result.
LONG CloseRecordKey(HKEY& key);

// Writing the record during the install steps: creates or opens the key (null on failure) and
// sets values one by one, flushing after each one that was set.
HKEY CreateRecordKey();
bool SetRecordString(HKEY key, LPCWSTR valueName, const std::wstring& text);
bool SetRecordDword(HKEY key, LPCWSTR valueName, DWORD value);
