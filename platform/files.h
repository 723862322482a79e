// Platform layer: file system and path helpers.
#pragma once

#include "windows_types.h"

#ifndef _WIN32
BOOL PathFileExistsW(LPCWSTR pszPath);
#endif

#ifndef _WIN32
BOOL DeleteFileW(LPCWSTR lpFileName);
#endif
