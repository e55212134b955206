// SPDX-License-Identifier: Apache-2.0
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "platform/file_time.h"

namespace orvex {
namespace {

class PinnedZone {
 public:
  explicit PinnedZone(const char* zone) {
    if (const char* old = std::getenv("TZ")) saved_ = old, had_ = true;
    setenv("TZ", zone, 1);
    tzset();
  }
  ~PinnedZone() {
    if (had_) setenv("TZ", saved_.c_str(), 1); else unsetenv("TZ");
    tzset();
  }

 private:
  std::string saved_;
  bool had_ = false;
};

SYSTEMTIME Date(uint16_t y, uint16_t mo, uint16_t d, uint16_t h = 0, uint16_t mi = 0,
                uint16_t s = 0, uint16_t ms = 0) {
  SYSTEMTIME st;
  st.wYear = y, st.wMonth = mo, st.wDay = d, st.wHour = h, st.wMinute = mi, st.wSecond = s;
  st.wMilliseconds = ms;
  return st;
}

TEST(FileTime, CalendarRoundTripsIncludingLeapDays) {
  for (const SYSTEMTIME& in : {Date(1601, 1, 1), Date(2000, 2, 29, 12), Date(2100, 3, 1),
                               Date(2024, 12, 31, 23, 59, 59, 999), Date(30827, 12, 31)}) {
    FILETIME ft;
    ASSERT_TRUE(SystemTimeToFileTime(in, ft));
    SYSTEMTIME out;
    ASSERT_TRUE(FileTimeToSystemTime(ft, out));
    EXPECT_EQ(out.wYear, in.wYear);
    EXPECT_EQ(out.wMonth, in.wMonth);
    EXPECT_EQ(out.wDay, in.wDay);
    EXPECT_EQ(out.wHour, in.wHour);
    EXPECT_EQ(out.wSecond, in.wSecond);
    EXPECT_EQ(out.wMilliseconds, in.wMilliseconds);
  }
  FILETIME ft;
  EXPECT_FALSE(SystemTimeToFileTime(Date(2100, 2, 29), ft));  // 2100 is no leap year
  EXPECT_FALSE(SystemTimeToFileTime(Date(1600, 12, 31), ft));
  SYSTEMTIME st;
  EXPECT_FALSE(FileTimeToSystemTime(TicksToFileTime(uint64_t{1} << 63), st));
}

TEST(FileTime, EpochAndWeekday) {
  const FILETIME ft = UnixTimeToFileTime(timespec{0, 0});
  EXPECT_EQ(FileTimeToTicks(ft), 116444736000000000ull);
  SYSTEMTIME st;
  ASSERT_TRUE(FileTimeToSystemTime(ft, st));
  EXPECT_EQ(st.wYear, 1970);
  EXPECT_EQ(st.wDayOfWeek, 4);  // a Thursday
  EXPECT_EQ(FileTimeToTicks(UnixTimeToFileTime(timespec{-20'000'000'000, 0})), 0u);
}

TEST(FileTime, ZoneWithDaylightSavingTime) {
  PinnedZone zone("CET-1CEST,M3.5.0,M10.5.0/3");
  TIME_ZONE_INFORMATION tzi;
  const TTimeZoneId id = GetTimeZoneInformation(tzi);
  EXPECT_NE(id, TIME_ZONE_ID_UNKNOWN);
  EXPECT_EQ(tzi.Bias, -60);
  EXPECT_EQ(tzi.DaylightBias, -60);

  // 2026-07-01 12:00 UTC is 14:00 summer time in this zone.
  FILETIME utc;
  ASSERT_TRUE(SystemTimeToFileTime(Date(2026, 7, 1, 12), utc));
  SYSTEMTIME local;
  ASSERT_TRUE(SystemTimeToTzSpecificLocalTime(tzi, Date(2026, 7, 1, 12), local));
  EXPECT_EQ(local.wHour, 14);
  ASSERT_TRUE(SystemTimeToTzSpecificLocalTime(tzi, Date(2026, 1, 1, 12), local));
  EXPECT_EQ(local.wHour, 13);
}

TEST(FileTime, ZoneWithoutDaylightSavingTime) {
  PinnedZone zone("IST-5:30");
  TIME_ZONE_INFORMATION tzi;
  EXPECT_EQ(GetTimeZoneInformation(tzi), TIME_ZONE_ID_UNKNOWN);
  EXPECT_EQ(tzi.Bias, -330);
  EXPECT_EQ(tzi.DaylightBias, 0);
  FILETIME utc;
  ASSERT_TRUE(SystemTimeToFileTime(Date(2026, 3, 3, 10, 0), utc));
  SYSTEMTIME local;
  ASSERT_TRUE(FileTimeToSystemTime(FileTimeToLocalFileTime(utc), local));
  EXPECT_EQ(local.wHour, 15);
  EXPECT_EQ(local.wMinute, 30);
}

}  // namespace
}  // namespace orvex
