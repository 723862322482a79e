// Host platform: the calls and limits that tests may override, as SQLite does with its
// system-call table: only for what a test cannot control for real (the wall clock, a receive
// time-out that would otherwise make a test wait half a minute, and a full disk).
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <cstdint>

namespace host {

struct OverridableCalls {
  // Seconds since 1970-01-01 00:00:00 UTC.
  std::int64_t (*wallClockSeconds)();
  // How long a transfer may go without receiving anything (WinINet's default: 30 seconds).
  long receiveTimeoutMs;
  // write(2) for the files the platform writes whole (shell links).
  ssize_t (*writeFile)(int fd, const void* data, std::size_t size);
};

OverridableCalls& Overridable();

}  // namespace host
