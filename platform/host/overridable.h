// Host platform: the calls and limits that tests may override, as SQLite does with its
// system-call table: only for what a test cannot control for real (the wall clock, and a
// receive time-out that would otherwise make a test wait half a minute).
#pragma once

#include <cstdint>

namespace host {

struct OverridableCalls {
  // Seconds since 1970-01-01 00:00:00 UTC.
  std::int64_t (*wallClockSeconds)();
  // How long a transfer may go without receiving anything (WinINet's default: 30 seconds).
  long receiveTimeoutMs;
};

OverridableCalls& Overridable();

}  // namespace host
