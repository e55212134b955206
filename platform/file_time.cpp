// SPDX-License-Identifier: Apache-2.0
#include "platform/file_time.h"

#include <chrono>

namespace orvex {
namespace {

constexpr uint64_t kTicksPerSecond = 10'000'000;
constexpr int64_t kSecondsFrom1601To1970 = 11'644'473'600;
constexpr uint64_t kTicksPerDay = kTicksPerSecond * 86'400;

// Days since 1970-01-01 of a civil date (proleptic Gregorian).
int64_t DaysFromCivil(int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const auto yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

bool IsLeap(int64_t y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

unsigned DaysInMonth(int64_t y, unsigned m) {
  static constexpr unsigned kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return m == 2 && IsLeap(y) ? 29 : kDays[m - 1];
}

int64_t DaysFrom1601(int64_t y, unsigned m, unsigned d) {
  return DaysFromCivil(y, m, d) + kSecondsFrom1601To1970 / 86'400;
}

// Offset from UTC in seconds and the daylight flag at POSIX time t.
void ZoneAt(time_t t, long& gmtoff, bool& dst) {
  tm parts{};
  localtime_r(&t, &parts);
  gmtoff = parts.tm_gmtoff;
  dst = parts.tm_isdst > 0;
}

time_t PosixSeconds(const FILETIME& ft) {
  return static_cast<time_t>(static_cast<int64_t>(FileTimeToTicks(ft) / kTicksPerSecond) -
                             kSecondsFrom1601To1970);
}

}  // namespace

void CivilFromDays(int64_t z, int64_t& y, unsigned& m, unsigned& d) {
  z += 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const auto doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  d = doy - (153 * mp + 2) / 5 + 1;
  m = mp < 10 ? mp + 3 : mp - 9;
  y = static_cast<int64_t>(yoe) + era * 400 + (m <= 2);
}

uint64_t FileTimeToTicks(const FILETIME& ft) {
  return (static_cast<uint64_t>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
}

FILETIME TicksToFileTime(uint64_t ticks) {
  return FILETIME{static_cast<uint32_t>(ticks), static_cast<uint32_t>(ticks >> 32)};
}

FILETIME UnixTimeToFileTime(const timespec& ts) {
  const int64_t seconds = static_cast<int64_t>(ts.tv_sec) + kSecondsFrom1601To1970;
  if (seconds < 0) return FILETIME{};
  return TicksToFileTime(static_cast<uint64_t>(seconds) * kTicksPerSecond +
                         static_cast<uint64_t>(ts.tv_nsec) / 100);
}

bool FileTimeToSystemTime(const FILETIME& ft, SYSTEMTIME& st) {
  const uint64_t ticks = FileTimeToTicks(ft);
  if (ticks >= (uint64_t{1} << 63)) return false;
  const auto days = static_cast<int64_t>(ticks / kTicksPerDay);
  const uint64_t rest = ticks % kTicksPerDay;
  int64_t y;
  unsigned m, d;
  CivilFromDays(days - kSecondsFrom1601To1970 / 86'400, y, m, d);
  st.wYear = static_cast<uint16_t>(y);
  st.wMonth = static_cast<uint16_t>(m);
  st.wDay = static_cast<uint16_t>(d);
  st.wDayOfWeek = static_cast<uint16_t>((days + 1) % 7);  // 1601-01-01 was a Monday
  st.wHour = static_cast<uint16_t>(rest / (kTicksPerSecond * 3600));
  st.wMinute = static_cast<uint16_t>(rest / (kTicksPerSecond * 60) % 60);
  st.wSecond = static_cast<uint16_t>(rest / kTicksPerSecond % 60);
  st.wMilliseconds = static_cast<uint16_t>(rest / 10'000 % 1000);
  return true;
}

bool SystemTimeToFileTime(const SYSTEMTIME& st, FILETIME& ft) {
  if (st.wYear < 1601 || st.wYear > 30827 || st.wMonth < 1 || st.wMonth > 12 || st.wDay < 1 ||
      st.wDay > DaysInMonth(st.wYear, st.wMonth) || st.wHour > 23 || st.wMinute > 59 ||
      st.wSecond > 59 || st.wMilliseconds > 999) {
    return false;
  }
  const auto days = static_cast<uint64_t>(DaysFrom1601(st.wYear, st.wMonth, st.wDay));
  ft = TicksToFileTime(days * kTicksPerDay +
                       ((st.wHour * 60u + st.wMinute) * 60u + st.wSecond) * kTicksPerSecond +
                       st.wMilliseconds * uint64_t{10'000});
  return true;
}

FILETIME GetSystemTimeAsFileTime() {
  const auto now = std::chrono::system_clock::now().time_since_epoch();
  const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(now).count();
  timespec ts{};
  ts.tv_sec = static_cast<time_t>(ns / 1'000'000'000);
  ts.tv_nsec = static_cast<long>(ns % 1'000'000'000);
  return UnixTimeToFileTime(ts);
}

SYSTEMTIME GetSystemTime() {
  SYSTEMTIME st;
  FileTimeToSystemTime(GetSystemTimeAsFileTime(), st);
  return st;
}

TTimeZoneId GetTimeZoneInformation(TIME_ZONE_INFORMATION& tzi) {
  const time_t now = time(nullptr);
  long now_off;
  bool now_dst;
  ZoneAt(now, now_off, now_dst);

  // The standard and daylight offsets of this year: probe mid-winter and
  // mid-summer of both hemispheres.
  tm parts{};
  localtime_r(&now, &parts);
  parts.tm_mon = 0, parts.tm_mday = 15, parts.tm_isdst = -1;
  parts.tm_hour = 12, parts.tm_min = 0, parts.tm_sec = 0;
  const time_t january = mktime(&parts);
  parts.tm_mon = 6, parts.tm_mday = 15, parts.tm_isdst = -1;
  const time_t july = mktime(&parts);
  long jan_off, jul_off;
  bool jan_dst, jul_dst;
  ZoneAt(january, jan_off, jan_dst);
  ZoneAt(july, jul_off, jul_dst);

  const bool has_dst = now_dst || jan_dst || jul_dst;
  const long standard = !now_dst ? now_off : (!jan_dst ? jan_off : jul_off);
  const long daylight = now_dst ? now_off : (jan_dst ? jan_off : jul_off);

  tzi = TIME_ZONE_INFORMATION{};
  tzi.Bias = static_cast<int32_t>(-standard / 60);
  tzi.DaylightBias = has_dst ? static_cast<int32_t>(-(daylight - standard) / 60) : 0;
  if (!has_dst) return TIME_ZONE_ID_UNKNOWN;
  return now_dst ? TIME_ZONE_ID_DAYLIGHT : TIME_ZONE_ID_STANDARD;
}

FILETIME FileTimeToLocalFileTime(const FILETIME& utc) {
  long offset;
  bool dst;
  ZoneAt(time(nullptr), offset, dst);
  const int64_t ticks = static_cast<int64_t>(FileTimeToTicks(utc)) +
                        static_cast<int64_t>(offset) * static_cast<int64_t>(kTicksPerSecond);
  return TicksToFileTime(ticks < 0 ? 0 : static_cast<uint64_t>(ticks));
}

bool SystemTimeToTzSpecificLocalTime(const TIME_ZONE_INFORMATION& tzi, const SYSTEMTIME& utc,
                                     SYSTEMTIME& local) {
  FILETIME ft;
  if (!SystemTimeToFileTime(utc, ft)) return false;
  long offset;
  bool dst;
  ZoneAt(PosixSeconds(ft), offset, dst);
  const int64_t bias_minutes = tzi.Bias + (dst ? tzi.DaylightBias : tzi.StandardBias);
  const int64_t ticks = static_cast<int64_t>(FileTimeToTicks(ft)) -
                        bias_minutes * 60 * static_cast<int64_t>(kTicksPerSecond);
  if (ticks < 0) return false;
  return FileTimeToSystemTime(TicksToFileTime(static_cast<uint64_t>(ticks)), local);
}

}  // namespace orvex
