// Host platform: DOS dates and local file times, on the host's time zone (TZ honoured).
#include <ctime>

#include "platform/files.h"

namespace {

constexpr std::int64_t kTicksPerSecond = 10000000;
// Days from 1601-01-01 to 1970-01-01.
constexpr std::int64_t kDaysFrom1601To1970 = 134774;

// Days since 1970-01-01 of a date of the proleptic Gregorian calendar.
std::int64_t DaysFromCivil(std::int64_t year, unsigned month, unsigned day) {
  year -= month <= 2;
  const std::int64_t era = (year >= 0 ? year : year - 399) / 400;
  const unsigned yearOfEra = static_cast<unsigned>(year - era * 400);
  const unsigned dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
  const unsigned dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
  return era * 146097 + static_cast<std::int64_t>(dayOfEra) - 719468;
}

unsigned DaysInMonth(unsigned year, unsigned month) {
  static const unsigned days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  return month == 2 && leap ? 29 : days[month - 1];
}

std::int64_t Ticks(const FILETIME& time) {
  return static_cast<std::int64_t>((static_cast<std::uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime);
}

FILETIME FromTicks(std::int64_t ticks) {
  const auto value = static_cast<std::uint64_t>(ticks);
  return FILETIME{static_cast<DWORD>(value & 0xFFFFFFFFu), static_cast<DWORD>(value >> 32)};
}

}  // namespace

BOOL DosDateTimeToFileTime(WORD wFatDate, WORD wFatTime, FILETIME* lpFileTime) {
  if (!lpFileTime) return FALSE;
  const unsigned day = wFatDate & 0x1F;
  const unsigned month = (wFatDate >> 5) & 0x0F;
  const unsigned year = 1980 + (wFatDate >> 9);
  const unsigned seconds = (wFatTime & 0x1F) * 2;
  const unsigned minutes = (wFatTime >> 5) & 0x3F;
  const unsigned hours = wFatTime >> 11;
  if (month < 1 || month > 12 || day < 1 || day > DaysInMonth(year, month) || hours > 23 || minutes > 59 ||
      seconds > 59) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  const std::int64_t days = DaysFromCivil(year, month, day) + kDaysFrom1601To1970;
  const std::int64_t secondsSince1601 = days * 86400 + hours * 3600 + minutes * 60 + seconds;
  *lpFileTime = FromTicks(secondsSince1601 * kTicksPerSecond);
  return TRUE;
}

BOOL LocalFileTimeToFileTime(const FILETIME* lpLocalFileTime, FILETIME* lpFileTime) {
  if (!lpLocalFileTime || !lpFileTime) return FALSE;
  // The zone's offset now, whatever the date converted: Windows does the same.
  tzset();
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  const std::int64_t bias = static_cast<std::int64_t>(local.tm_gmtoff) * kTicksPerSecond;
  *lpFileTime = FromTicks(Ticks(*lpLocalFileTime) - bias);
  return TRUE;
}
