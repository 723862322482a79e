// Win32 platform: the framework's date class over the system's local time.
#include "platform/datetime.h"

COleDateTime COleDateTime::GetCurrentTime() {
  SYSTEMTIME now{};
  GetLocalTime(&now);
  now.wMilliseconds = 0;  // whole seconds, as the framework keeps them
  COleDateTime result;
  // Days since 30 December 1899, the automation date the framework stores.
  if (!SystemTimeToVariantTime(&now, &result.m_dt)) result.m_dt = 0;
  return result;
}
