// Host platform: Windows error codes for the errors of the host's own calls.
#pragma once

#include "platform/windows_types.h"

namespace host {
DWORD ErrorFromErrno(int error);
}  // namespace host
