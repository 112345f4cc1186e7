// Dates of the proleptic Gregorian calendar from day numbers, and the digit
// padding every date, time and number text uses. Shared by the value texts
// and the xml decoder.
#pragma once

#include <cstdint>
#include <string>

namespace quill {

// Days from 0001-01-01 (day number 0) to 1900-01-01, where datetime and
// smalldatetime count from.
inline constexpr int64_t kDaysTo1900 = 693595;

struct CivilDate {
  int64_t year = 1;
  int32_t month = 1;
  int32_t day = 1;
};

// a / b rounded toward minus infinity.
int64_t FloorDiv(int64_t a, int64_t b);

// The date of a day number (0 = 0001-01-01). Negative day numbers give years
// before 1 (year 0 is 1 BC).
CivilDate DateFromDayNumber(int64_t day_number);

// Appends `value` in decimal with at least `width` digits, zeros in front.
void AppendDigits(std::string& out, uint64_t value, int width);

}  // namespace quill
