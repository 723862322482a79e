// Host platform: what the file calls share: Windows paths held to the platform's path limit,
// and the attributes Windows would report for a host file.
#pragma once

#include <string>

#include "platform/windows_types.h"

namespace host {

// The host path of a Windows file path. False, with the thread's last error set, for a null
// path, one of MAX_PATH characters or more, or one without a drive.
bool HostFilePath(LPCWSTR windowsPath, std::string& hostPath);

// The attributes of a host file as Windows reports them, INVALID_FILE_ATTRIBUTES when there is
// none. A symbolic link is reported as itself: a reparse point, and a folder when it leads to
// one. A file without any write permission is read-only.
DWORD HostFileAttributes(const std::string& hostPath);

}  // namespace host
