// Host platform: what a HANDLE points to. Threads and files share the one handle type, as on
// Windows; each kind derives its own record from this base.
#pragma once

#include <cstdint>

#include "platform/windows_types.h"

struct HANDLE__ {
  virtual ~HANDLE__() = default;
};

namespace host {
// Null and the all-ones value (INVALID_HANDLE_VALUE) point to nothing.
inline bool PointsToObject(HANDLE handle) {
  return handle && reinterpret_cast<std::intptr_t>(handle) != -1;
}
}  // namespace host
