// Platform layer: shell operations and the clock.
#pragma once

#include <cstdint>

#include "framework.h"
#include "windows_types.h"

// Performs operation ("open") on file. Returns a value above 32 on success, as Windows does.
// The host runs an executable file itself and hands any other file to the desktop's opener.
HINSTANCE ShellExecuteW(HWND hwnd, LPCWSTR operation, LPCWSTR file, LPCWSTR parameters, LPCWSTR directory,
                        int showCommand);

// The current time in seconds since 1970-01-01 00:00:00 UTC.
std::int64_t _time64(std::int64_t* timer);
