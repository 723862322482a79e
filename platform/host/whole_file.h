// Host platform: writing a file whole or not at all.
#pragma once

#include <string>

#include "platform/windows_types.h"

namespace host {

// Writes bytes to a temporary file in the folder of hostPath, then renames it over hostPath, so
// that readers see the old file or the new one and never a part. Returns ERROR_SUCCESS or the
// Windows error of what failed; on failure nothing is left behind and an old file is untouched.
DWORD WriteFileWhole(const std::string& hostPath, const std::string& bytes);

}  // namespace host
