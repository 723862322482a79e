// Identifies the running Windows: its display name and major version.
#pragma once

#include <string>

#include "platform/windows_types.h"

// Fills name ("unknown OperatingSystem." for combinations without a name) and returns the
// major version, 0 when the version cannot be queried. Major 6 or more counts as supported.
DWORD IdentifyOperatingSystem(std::wstring& name);

constexpr bool IsSupportedSystem(DWORD major) { return major >= 6; }
