// The COM servers that the package brings: each registers and unregisters itself through an
// export of its own.
#pragma once

#include <string>

#include "platform/windows_types.h"

inline constexpr const WCHAR* kComServer1 = L"resources\\app\\template\\Release\\grdes6.dll";
inline constexpr const WCHAR* kComServer2 = L"resources\\app\\template\\Release\\gregn6.dll";

// Loads the server file and calls its export entryName ("DllRegisterServer" or
// "DllUnregisterServer") without arguments, then unloads it. A missing file, a file that can't
// be loaded or lacks the export, and the export's own result are all ignored.
void CallComServerEntry(const std::wstring& serverFile, const char* entryName);
