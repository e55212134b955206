// SPDX-License-Identifier: Apache-2.0
// Windows time records and their conversions, on the C library's clock and
// time zone (localtime_r / tm_gmtoff; tests pin TZ).
//
// FILETIME counts 100 ns units since 1601-01-01 00:00 UTC.  SYSTEMTIME holds
// calendar fields.  TIME_ZONE_INFORMATION keeps the biases in minutes with
// Windows' sign: UTC = local time + Bias (+ DaylightBias while daylight
// saving time is in force).
#ifndef ORVEX_PLATFORM_FILE_TIME_H_
#define ORVEX_PLATFORM_FILE_TIME_H_

#include <cstdint>
#include <ctime>

namespace orvex {

struct FILETIME {
  uint32_t dwLowDateTime = 0;
  uint32_t dwHighDateTime = 0;
};

struct SYSTEMTIME {
  uint16_t wYear = 0;
  uint16_t wMonth = 0;
  uint16_t wDayOfWeek = 0;  // 0 = Sunday
  uint16_t wDay = 0;
  uint16_t wHour = 0;
  uint16_t wMinute = 0;
  uint16_t wSecond = 0;
  uint16_t wMilliseconds = 0;
};

struct TIME_ZONE_INFORMATION {
  int32_t Bias = 0;          // minutes: UTC - standard local time
  int32_t StandardBias = 0;  // always 0 here
  int32_t DaylightBias = 0;  // minutes added to Bias in daylight time (typically -60)
};

// What GetTimeZoneInformation reports about the present moment.
enum TTimeZoneId : uint32_t {
  TIME_ZONE_ID_UNKNOWN = 0,  // the zone has no daylight saving time
  TIME_ZONE_ID_STANDARD = 1,
  TIME_ZONE_ID_DAYLIGHT = 2,
};

uint64_t FileTimeToTicks(const FILETIME& ft);
FILETIME TicksToFileTime(uint64_t ticks);

// The civil date (proleptic Gregorian) of day `z`, counted from 1970-01-01
// (negative before it); month and day from 1.
void CivilFromDays(int64_t z, int64_t& y, unsigned& m, unsigned& d);

// A POSIX time (seconds and nanoseconds since 1970) as a FILETIME; times
// before 1601 clamp to 0.
FILETIME UnixTimeToFileTime(const timespec& ts);

// Calendar conversions in the proleptic Gregorian calendar.  FileTimeToSystemTime
// fails for values from 2^63 on; SystemTimeToFileTime fails for fields out of
// range (years 1601 to 30827) and ignores wDayOfWeek.
bool FileTimeToSystemTime(const FILETIME& ft, SYSTEMTIME& st);
bool SystemTimeToFileTime(const SYSTEMTIME& st, FILETIME& ft);

// The current UTC time.
FILETIME GetSystemTimeAsFileTime();
SYSTEMTIME GetSystemTime();

// Reads the zone in force now.
TTimeZoneId GetTimeZoneInformation(TIME_ZONE_INFORMATION& tzi);

// UTC to local file time with the offset in force now (as Windows does, so
// that a local time written together with the current zone offset always
// stands for the right UTC instant).
FILETIME FileTimeToLocalFileTime(const FILETIME& utc);

// UTC to the local time of the zone `tzi`: Bias is always applied, and
// DaylightBias too when the C library's zone rules put `utc` in daylight
// saving time.
bool SystemTimeToTzSpecificLocalTime(const TIME_ZONE_INFORMATION& tzi, const SYSTEMTIME& utc,
                                     SYSTEMTIME& local);

}  // namespace orvex

#endif  // ORVEX_PLATFORM_FILE_TIME_H_
