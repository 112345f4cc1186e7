#include "values/calendar.h"

namespace quill {

int64_t FloorDiv(int64_t a, int64_t b) {
  int64_t q = a / b;
  if ((a % b != 0) && ((a < 0) != (b < 0))) --q;
  return q;
}

// Split with the 400-, 100-, 4- and 1-year cycles (146097, 36524, 1461 and
// 365 days).
CivilDate DateFromDayNumber(int64_t day_number) {
  CivilDate date;
  const int64_t cycles400 = FloorDiv(day_number, 146097);
  int64_t rest = day_number - cycles400 * 146097;  // 0 .. 146096
  int64_t cycles100 = rest / 36524;
  if (cycles100 == 4) cycles100 = 3;  // the last day of a 400-year cycle
  rest -= cycles100 * 36524;
  const int64_t cycles4 = rest / 1461;
  rest -= cycles4 * 1461;
  int64_t years = rest / 365;
  if (years == 4) years = 3;  // the last day of a leap year
  rest -= years * 365;
  date.year = 1 + cycles400 * 400 + cycles100 * 100 + cycles4 * 4 + years;
  const bool leap = (date.year % 4 == 0 && date.year % 100 != 0) || date.year % 400 == 0;
  static constexpr int32_t kMonthDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  int32_t month = 0;
  while (month < 11) {
    const int32_t length = kMonthDays[month] + ((month == 1 && leap) ? 1 : 0);
    if (rest < length) break;
    rest -= length;
    ++month;
  }
  date.month = month + 1;
  date.day = static_cast<int32_t>(rest) + 1;
  return date;
}

void AppendDigits(std::string& out, uint64_t value, int width) {
  char digits[20];
  int count = 0;
  do {
    digits[count++] = static_cast<char>('0' + value % 10);
    value /= 10;
  } while (value != 0);
  for (int i = count; i < width; ++i) out.push_back('0');
  while (count > 0) out.push_back(digits[--count]);
}

}  // namespace quill
