// The framework's date class and the C clock: the same instant, the date class in local time
// (CTest runs this under TZ=Asia/Shanghai, eight hours east of UTC, no daylight saving).
#include <cmath>

#include "platform/datetime.h"
#include "platform/shell.h"
#include "system_test.h"

namespace {

using TimeTest = SystemTest;

TEST_F(TimeTest, LocalDateAndUtcSecondsDifferByTheZoneOffset) {
  const std::int64_t before = _time64(nullptr);
  const COleDateTime now = COleDateTime::GetCurrentTime();
  const std::int64_t after = _time64(nullptr);
  constexpr double kUnixEpochInDays = 25569.0;  // 1970-01-01 counted from 1899-12-30
  const double localSeconds = (now.m_dt - kUnixEpochInDays) * 86400.0;
  // Whole seconds.
  EXPECT_NEAR(localSeconds, std::round(localSeconds), 1e-3);
  EXPECT_GE(localSeconds - 8 * 3600.0, static_cast<double>(before) - 1);
  EXPECT_LE(localSeconds - 8 * 3600.0, static_cast<double>(after) + 1);
  // A span of the class counts days.
  EXPECT_NEAR(0.5, (now - COleDateTime{now.m_dt - 0.5}).GetTotalDays(), 1e-9);
}

}  // namespace
