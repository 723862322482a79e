// Host platform: local wall-clock time for the framework's date class, and the wall clock that
// tests may override.
#include <unistd.h>

#include <ctime>

#include "overridable.h"
#include "platform/datetime.h"

namespace host {

namespace {
std::int64_t SystemWallClock() { return static_cast<std::int64_t>(std::time(nullptr)); }
}  // namespace

OverridableCalls& Overridable() {
  static OverridableCalls calls{&SystemWallClock, 30000, &::write};
  return calls;
}

}  // namespace host

COleDateTime COleDateTime::GetCurrentTime() {
  const std::time_t now = static_cast<std::time_t>(host::Overridable().wallClockSeconds());
  std::tm local{};
  localtime_r(&now, &local);
  // Days since 30 December 1899 (the framework's epoch), in local time and whole seconds.
  constexpr double kUnixEpochInDays = 25569.0;
  COleDateTime result;
  result.m_dt = kUnixEpochInDays + static_cast<double>(now + local.tm_gmtoff) / 86400.0;
  return result;
}
