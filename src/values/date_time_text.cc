// Text of the date and time types. Day numbers count days of the proleptic
// Gregorian calendar; texts are built here field by field in the fixed
// "YYYY-MM-DD HH:MM:SS" form, so they never depend on the machine's locale.
#include <cstdint>
#include <string>

#include "common/little_endian.h"
#include "common/printf_text.h"
#include "values/calendar.h"
#include "values/value_text.h"

namespace quill {

namespace {

constexpr int64_t kSecondsPerDay = 86400;

// "YYYY-MM-DD" (years outside 0..9999 as printf's "%04lld" writes them).
std::string DatePart(const CivilDate& date) {
  if (date.year < 0 || date.year > 9999) {
    return PrintfText("%04lld-%02lld-%02lld", static_cast<long long>(date.year),
                      static_cast<long long>(date.month), static_cast<long long>(date.day));
  }
  std::string out;
  out.reserve(19);  // room for " HH:MM:SS" after it
  AppendDigits(out, static_cast<uint64_t>(date.year), 4);
  out.push_back('-');
  AppendDigits(out, static_cast<uint64_t>(date.month), 2);
  out.push_back('-');
  AppendDigits(out, static_cast<uint64_t>(date.day), 2);
  return out;
}

// "HH:MM:SS"; empty when a field is out of range.
std::string ClockPart(int64_t hour, int64_t minute, int64_t second) {
  if (hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 59) return {};
  std::string out;
  out.reserve(8);
  AppendDigits(out, static_cast<uint64_t>(hour), 2);
  out.push_back(':');
  AppendDigits(out, static_cast<uint64_t>(minute), 2);
  out.push_back(':');
  AppendDigits(out, static_cast<uint64_t>(second), 2);
  return out;
}

// The date, a space and the clock.
std::string DateSpaceClock(const CivilDate& date, const std::string& clock) {
  std::string out = DatePart(date);
  out.push_back(' ');
  out += clock;
  return out;
}

std::string ClockFromSeconds(int64_t seconds) {
  return ClockPart(seconds / 3600, (seconds / 60) % 60, seconds % 60);
}

// "YYYY-MM-DD HH:MM:SS" for a day number from 0001-01-01 and a second of the
// day; empty when the year is past 9999 or before 1 or the clock is out of
// range.
std::string DateAndClock(int64_t day_number, int64_t seconds_of_day) {
  const CivilDate date = DateFromDayNumber(day_number);
  if (date.year < 1 || date.year > 9999) return {};
  std::string clock = ClockFromSeconds(seconds_of_day);
  if (clock.empty()) return {};
  return DateSpaceClock(date, clock);
}

uint64_t LoadUnsigned(std::span<const uint8_t> bytes) {
  uint64_t v = 0;
  for (size_t i = bytes.size(); i > 0; --i) v = (v << 8) | bytes[i - 1];
  return v;
}

// 10^scale for the scales a time value can have; 0 for others.
uint64_t PowerOfTen(int32_t scale) {
  if (scale < 0 || scale > 9) return 0;
  uint64_t p = 1;
  for (int32_t i = 0; i < scale; ++i) p *= 10;
  return p;
}

// The fraction with exactly `scale` digits, zero-padded on the left.
std::string Fraction(uint64_t fraction, int32_t scale) {
  return PrintfText("%0*llu", static_cast<int>(scale), static_cast<unsigned long long>(fraction));
}

// The units of a time value split into whole seconds and the fraction.
struct TimeOfDay {
  uint64_t seconds = 0;
  uint64_t fraction = 0;
};

TimeOfDay SplitTime(uint64_t units, uint64_t power) {
  return {units / power, units % power};
}

}  // namespace

// datetime: 8 bytes: ticks (signed 32-bit, 1/300 s since midnight) at 0,
// days since 1900-01-01 (signed 32-bit) at 4. Whole seconds are
// ticks x 0.00333333335 truncated. A year before 1753 is shown as 1753 with
// its month and day; years outside 0..9999 or an out-of-range clock give "".
// 00 00 00 00 00 00 00 00 -> "1900-01-01 00:00:00";
// ticks 300 (2C 01 00 00), days 1 (01 00 00 00) -> "1900-01-02 00:00:01".
std::string DatetimeText(std::span<const uint8_t> bytes) {
  if (bytes.size() < 8) return {};
  const int32_t ticks = LoadLittleEndianUnchecked<int32_t>(bytes.data());
  const int32_t days = LoadLittleEndianUnchecked<int32_t>(bytes.data() + 4);
  const auto seconds = static_cast<int64_t>(static_cast<double>(ticks) * 0.00333333335);
  CivilDate date = DateFromDayNumber(kDaysTo1900 + days);
  if (date.year < 0 || date.year > 9999) return {};
  if (date.year < 1753) date.year = 1753;
  std::string clock = ClockPart(seconds / 3600, (seconds / 60) % 60, seconds % 60);
  if (clock.empty()) return {};
  return DateSpaceClock(date, clock);
}

// smalldatetime: 4 bytes: minutes since midnight (unsigned 16-bit) at 0,
// days since 1900-01-01 (unsigned 16-bit) at 2; seconds are 0.
// 3C 00 01 00 -> "1900-01-02 01:00:00"; a minute count of 1440 or more
// gives "".
std::string SmallDatetimeText(std::span<const uint8_t> bytes) {
  if (bytes.size() < 4) return {};
  const uint16_t minutes = LoadLittleEndianUnchecked<uint16_t>(bytes.data());
  const uint16_t days = LoadLittleEndianUnchecked<uint16_t>(bytes.data() + 2);
  const CivilDate date = DateFromDayNumber(kDaysTo1900 + days);
  if (date.year > 9999) return {};
  std::string clock = ClockPart(minutes / 60, minutes % 60, 0);
  if (clock.empty()) return {};
  return DateSpaceClock(date, clock);
}

// date: 3 bytes, unsigned 24-bit day number from 0001-01-01.
// 00 00 00 -> "0001-01-01"; DB B9 37 (3652059, 9999-12-31 + 1 day) ->
// "" (years past 9999 give the empty text).
std::string DateText(std::span<const uint8_t> bytes) {
  if (bytes.size() < 3) return {};
  const CivilDate date = DateFromDayNumber(static_cast<int64_t>(LoadUnsigned(bytes.first(3))));
  if (date.year > 9999) return {};
  return DatePart(date);
}

// time(s): n bytes (1..8), unsigned little-endian count of 10^-s seconds
// since midnight. "HH:MM:SS" for scale 0, else "HH:MM:SS." and the
// fraction with exactly s digits. time(7) 10:00:00.05 (units 360000500000)
// -> "10:00:00.0500000". A clock out of range leaves the "HH:MM:SS" part
// empty; a scale above 9 or a length outside 1..8 gives "".
std::string TimeText(std::span<const uint8_t> bytes, int32_t scale) {
  const uint64_t power = PowerOfTen(scale);
  if (power == 0 || bytes.empty() || bytes.size() > 8) return {};
  const TimeOfDay time = SplitTime(LoadUnsigned(bytes), power);
  std::string clock =
      time.seconds >= static_cast<uint64_t>(kSecondsPerDay) ? std::string() : ClockFromSeconds(static_cast<int64_t>(time.seconds));
  if (scale == 0) return clock;
  return clock + "." + Fraction(time.fraction, scale);
}

// datetime2(s): n bytes; with n = 6, 7 or 8 the first n - 3 are the time as
// for time(s) and the last 3 the day number from 0001-01-01 (other lengths
// read as day 0, time 0). "YYYY-MM-DD HH:MM:SS", then "." and the fraction
// when s > 0: eight zero bytes with s = 7 -> "0001-01-01 00:00:00.0000000". Out-of-range fields leave the
// date-and-time part empty.
std::string Datetime2Text(std::span<const uint8_t> bytes, int32_t scale) {
  const uint64_t power = PowerOfTen(scale);
  if (power == 0 || bytes.empty()) return {};
  uint64_t units = 0;
  int64_t day_number = 0;
  const size_t n = bytes.size();
  if (n >= 6 && n <= 8) {
    units = LoadUnsigned(bytes.first(n - 3));
    day_number = static_cast<int64_t>(LoadUnsigned(bytes.subspan(n - 3, 3)));
  }
  const TimeOfDay time = SplitTime(units, power);
  std::string text = time.seconds >= static_cast<uint64_t>(kSecondsPerDay)
                         ? std::string()
                         : DateAndClock(day_number, static_cast<int64_t>(time.seconds));
  if (scale > 0) text += "." + Fraction(time.fraction, scale);
  return text;
}

// datetimeoffset(s): n bytes; with n = 8, 9 or 10 the first n - 5 are the
// UTC time as for time(s), the next 3 the UTC day number, the last 2 the
// offset in minutes (signed 16-bit). The date and time are shifted by the
// offset; the offset is written "+H:M" without padding ("-" for a negative
// offset, with the hours and minutes of its absolute value), after one space
// for scale 0 and after the fraction and two spaces otherwise:
// 2020-01-01 00:00:00 UTC, offset +330, s = 0 -> "2020-01-01 05:30:00 +5:30";
// s = 3 -> "2020-01-01 05:30:00.000  +5:30".
std::string DatetimeOffsetText(std::span<const uint8_t> bytes, int32_t scale) {
  const uint64_t power = PowerOfTen(scale);
  if (power == 0 || bytes.empty()) return {};
  uint64_t units = 0;
  int64_t day_number = 0;
  int32_t offset = 0;
  const size_t n = bytes.size();
  if (n >= 8 && n <= 10) {
    units = LoadUnsigned(bytes.first(n - 5));
    day_number = static_cast<int64_t>(LoadUnsigned(bytes.subspan(n - 5, 3)));
    offset = LoadLittleEndianUnchecked<int16_t>(bytes.data() + n - 2);
  }
  const TimeOfDay time = SplitTime(units, power);
  std::string text;
  if (time.seconds < static_cast<uint64_t>(kSecondsPerDay)) {
    const int64_t shifted = static_cast<int64_t>(time.seconds) + int64_t{offset} * 60;
    const int64_t day_shift = FloorDiv(shifted, kSecondsPerDay);
    text = DateAndClock(day_number + day_shift, shifted - day_shift * kSecondsPerDay);
  }
  const char sign = offset < 0 ? '-' : '+';
  const int32_t magnitude = offset < 0 ? -offset : offset;
  const std::string offset_text = PrintfText("%c%d:%d", sign, static_cast<int>(magnitude / 60),
                                                static_cast<int>(magnitude % 60));
  if (scale == 0) return text + " " + offset_text;
  return text + "." + Fraction(time.fraction, scale) + "  " + offset_text;
}

}  // namespace quill
