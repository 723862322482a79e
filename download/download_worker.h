// The package download worker.
#pragma once

#include "platform/windows_types.h"

// Downloads the package at strUrl into strInstallDir + strFileName of the WorkerContext it is
// given, reporting code 1 per chunk, then code 3 (complete) or code 2 (failed). Returns 0.
UINT DownloadThreadProc(LPVOID param);

// Packages must stay below 2 GiB: their length travels as a signed 32-bit file position.
inline constexpr unsigned long long kLargestPackage = (1ull << 31) - 1;
