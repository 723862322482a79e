// Platform layer: the framework's date and time class (local wall-clock time, in days).
#pragma once

#include "windows_types.h"

#ifdef _WIN32
// The system headers make GetCurrentTime a macro for GetTickCount; here it is the class's own.
#undef GetCurrentTime
#endif

class COleDateTimeSpan {
 public:
  explicit COleDateTimeSpan(double days = 0) : m_span(days) {}
  double GetTotalDays() const { return m_span; }
  double m_span;
};

class COleDateTime {
 public:
  // The local wall-clock time now, in whole seconds.
  static COleDateTime GetCurrentTime();
  COleDateTimeSpan operator-(const COleDateTime& other) const { return COleDateTimeSpan(m_dt - other.m_dt); }
  // Days since 30 December 1899, as the framework counts.
  double m_dt = 0;
};
