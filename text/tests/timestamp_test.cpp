// Timestamps are made by arithmetic on the day count, not by the C library's calendar: the
// boundaries where such arithmetic goes wrong, against dates known by heart.
#include <gtest/gtest.h>

#include "zephlor_text/timestamp.h"

namespace zephlor::text {
namespace {

TEST(Timestamp, FormatsCalendarBoundaries) {
  using std::chrono::milliseconds;
  const struct {
    long long millisSinceEpoch;
    const char* text;
  } rows[] = {
      {0, "1970-01-01T00:00:00.000Z"},
      {-1, "1969-12-31T23:59:59.999Z"},
      {951782400000, "2000-02-29T00:00:00.000Z"},     // a leap day of a year divisible by 400
      {4107542400000, "2100-03-01T00:00:00.000Z"},    // 2100 has no leap day
      {1798761599999, "2026-12-31T23:59:59.999Z"},
      {1796799121123, "2026-12-09T06:52:01.123Z"},
  };
  for (const auto& row : rows) {
    const std::chrono::system_clock::time_point time{milliseconds(row.millisSinceEpoch)};
    EXPECT_EQ(formatTimestamp(time), row.text) << row.millisSinceEpoch;
  }
}

}  // namespace
}  // namespace zephlor::text
