// SPDX-License-Identifier: Apache-2.0
#include "image/udf_primitives.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cstring>

#include "platform/byte_order.h"

namespace orvex {
namespace {

constexpr std::array<uint16_t, 256> MakeCrcTable() {
  std::array<uint16_t, 256> table{};
  for (unsigned i = 0; i < 256; ++i) {
    unsigned crc = i << 8;
    for (int bit = 0; bit < 8; ++bit) crc = (crc & 0x8000) ? (crc << 1) ^ 0x1021 : crc << 1;
    table[i] = static_cast<uint16_t>(crc);
  }
  return table;
}

constexpr std::array<uint16_t, 256> kCrcTable = MakeCrcTable();

bool IsLeapYear(int64_t y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

}  // namespace

uint16_t UdfCrc(const uint8_t* bytes, size_t length) {
  uint16_t crc = 0;
  for (size_t i = 0; i < length; ++i) {
    crc = static_cast<uint16_t>(kCrcTable[((crc >> 8) ^ bytes[i]) & 0xFF] ^ (crc << 8));
  }
  return crc;
}

void MakeTag(uint8_t* descriptor, uint16_t identifier, uint16_t crc_length, uint32_t location) {
  std::memset(descriptor, 0, 16);
  PutLE16(descriptor + 0, identifier);
  PutLE16(descriptor + 2, 2);
  PutLE16(descriptor + 6, 1);
  PutLE16(descriptor + 8, UdfCrc(descriptor + 16, crc_length));
  PutLE16(descriptor + 10, crc_length);
  PutLE32(descriptor + 12, location);
  uint8_t sum = 0;
  for (int i = 0; i < 16; ++i) {
    if (i != 4) sum = static_cast<uint8_t>(sum + descriptor[i]);
  }
  descriptor[4] = sum;
}

int Compress(const char16_t* units, size_t count, int compression, uint8_t* out) {
  if (compression != 8 && compression != 16) return -1;
  uint8_t* p = out;
  *p++ = static_cast<uint8_t>(compression);
  for (size_t i = 0; i < count; ++i) {
    if (compression == 16) *p++ = static_cast<uint8_t>(units[i] >> 8);
    *p++ = static_cast<uint8_t>(units[i]);
  }
  return static_cast<int>(p - out);
}

timestamp TimestampFromUnixSeconds(int64_t seconds) {
  static constexpr int kMonthStart[13] = {0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334, 365};
  int64_t days = seconds / 86400;
  int64_t time_of_day = seconds % 86400;
  if (time_of_day < 0) time_of_day += 86400, --days;
  int64_t year = 1970;
  for (;;) {
    const int64_t length = IsLeapYear(year) ? 366 : 365;
    if (days < 0) {
      --year;
      days += IsLeapYear(year) ? 366 : 365;
    } else if (days >= length) {
      days -= length;
      ++year;
    } else {
      break;
    }
  }
  int month = 1;
  const auto start = [&](int m) { return kMonthStart[m - 1] + (IsLeapYear(year) && m > 2 ? 1 : 0); };
  while (month < 12 && start(month + 1) <= days) ++month;
  timestamp t;
  t.typeAndTimezone = 0x1000;
  t.year = static_cast<int16_t>(year);
  t.month = static_cast<uint8_t>(month);
  t.day = static_cast<uint8_t>(days - start(month) + 1);
  t.hour = static_cast<uint8_t>(time_of_day / 3600);
  t.minute = static_cast<uint8_t>(time_of_day / 60 % 60);
  t.second = static_cast<uint8_t>(time_of_day % 60);
  return t;
}

timestamp Now() {
  const auto now = std::chrono::system_clock::now().time_since_epoch();
  const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(now).count();
  return TimestampFromUnixSeconds((ms + 500) / 1000);  // to the nearest second
}

void PutTimestamp(uint8_t* p, const timestamp& t) {
  PutLE16(p, t.typeAndTimezone);
  PutLE16(p + 2, static_cast<uint16_t>(t.year));
  p[4] = t.month;
  p[5] = t.day;
  p[6] = t.hour;
  p[7] = t.minute;
  p[8] = t.second;
  p[9] = t.centiseconds;
  p[10] = t.hundredsOfMicroseconds;
  p[11] = t.microseconds;
}

void PutRegid(uint8_t* p, std::string_view identifier, std::initializer_list<uint8_t> suffix) {
  std::memset(p, 0, 32);
  std::memcpy(p + 1, identifier.data(), std::min<size_t>(identifier.size(), 23));
  size_t i = 24;
  for (uint8_t b : suffix) p[i++] = b;
}

void PutImplementationId(uint8_t* p) { PutRegid(p, "*Velmont OrvexUDF", {0x06}); }

void PutCharspec(uint8_t* p) {
  std::memset(p, 0, 64);
  static constexpr std::string_view kName = "OSTA Compressed Unicode";
  std::memcpy(p + 1, kName.data(), kName.size());
}

void PutDstring(uint8_t* p, size_t size, const uint8_t* text, size_t length) {
  std::memset(p, 0, size);
  std::memcpy(p, text, length);
  p[size - 1] = static_cast<uint8_t>(length);
}

}  // namespace orvex
