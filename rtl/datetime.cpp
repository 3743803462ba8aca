#include "rtl/datetime.h"

#include <cmath>
#include <cstdlib>

#include "resources/rtl_texts.h"
#include "rtl/exception.h"

namespace tavo::rtl {
namespace {

constexpr int64_t kMSecsPerDay = 86400000;
// Day numbers of 1 January 0001 and 31 December 9999.
constexpr int64_t kMinDay = -693593;
constexpr int64_t kMaxDay = 2958465;
// Day 0 (30 December 1899) counted from 1 January 1970, which the civil-day formulas use.
constexpr int64_t kUnixEpochDay = 25569;

// Days from 1 January 1970 to the given Gregorian date (H. Hinnant's days_from_civil).
int64_t DaysFromCivil(int64_t y, int64_t m, int64_t d) {
  y -= m <= 2 ? 1 : 0;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const int64_t yoe = y - era * 400;
  const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

void CivilFromDays(int64_t z, int32_t& year, int32_t& month, int32_t& day) {
  z += 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const int64_t doe = z - era * 146097;
  const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const int64_t mp = (5 * doy + 2) / 153;
  const int64_t d = doy - (153 * mp + 2) / 5 + 1;
  const int64_t m = mp < 10 ? mp + 3 : mp - 9;
  year = static_cast<int32_t>(yoe + era * 400 + (m <= 2 ? 1 : 0));
  month = static_cast<int32_t>(m);
  day = static_cast<int32_t>(d);
}

}  // namespace

bool IsLeapYear(int32_t year) { return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0); }

int32_t DaysInMonth(int32_t year, int32_t month) {
  static constexpr int32_t kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (month < 1 || month > 12) return 0;
  return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

bool TryEncodeDate(int32_t year, int32_t month, int32_t day, TDateTime& value) {
  if (year < 1 || year > 9999 || day < 1 || day > DaysInMonth(year, month)) return false;
  value = static_cast<TDateTime>(DaysFromCivil(year, month, day) + kUnixEpochDay);
  return true;
}

bool TryEncodeTime(int32_t hour, int32_t minute, int32_t second, int32_t millisecond,
                   TDateTime& value) {
  if (hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 59 ||
      millisecond < 0 || millisecond > 999)
    return false;
  const int64_t ms = ((int64_t{hour} * 60 + minute) * 60 + second) * 1000 + millisecond;
  value = static_cast<TDateTime>(ms) / static_cast<TDateTime>(kMSecsPerDay);
  return true;
}

TDateTime EncodeDate(int32_t year, int32_t month, int32_t day) {
  TDateTime value = 0;
  if (!TryEncodeDate(year, month, day, value)) throw EConvertError(res::kDateEncodeError);
  return value;
}

TDateTime EncodeTime(int32_t hour, int32_t minute, int32_t second, int32_t millisecond) {
  TDateTime value = 0;
  if (!TryEncodeTime(hour, minute, second, millisecond, value))
    throw EConvertError(res::kTimeEncodeError);
  return value;
}

TDateTime ComposeDateTime(TDateTime date, TDateTime time) {
  return date < 0 ? date - time : date + time;
}

bool DecodeDateTime(TDateTime value, TDateTimeParts& parts) {
  parts = TDateTimeParts{};
  // Written so that NaN fails too; the bounds keep the conversion below in range.
  if (!(value > static_cast<TDateTime>(kMinDay - 1) && value < static_cast<TDateTime>(kMaxDay + 1)))
    return false;
  const int64_t total = std::llround(value * static_cast<TDateTime>(kMSecsPerDay));
  const int64_t day = total / kMSecsPerDay;  // towards zero: the day a negative value names
  int64_t ms = std::llabs(total) % kMSecsPerDay;
  if (day < kMinDay || day > kMaxDay) return false;
  CivilFromDays(day - kUnixEpochDay, parts.Year, parts.Month, parts.Day);
  parts.MilliSecond = static_cast<int32_t>(ms % 1000);
  ms /= 1000;
  parts.Second = static_cast<int32_t>(ms % 60);
  ms /= 60;
  parts.Minute = static_cast<int32_t>(ms % 60);
  parts.Hour = static_cast<int32_t>(ms / 60);
  return true;
}

}  // namespace tavo::rtl
